// The maintenance commands through the window with the real jar32.exe: an archive whose header was
// overwritten and one of whose members was damaged is rebuilt into "$recover.j", which opens with
// the members that survived, byte for byte; and a missing jar.cfg is generated where the archiver
// reads it, after which the archiver stops warning about it.

#include <filesystem>
#include <fstream>

#include "tests/mainwindow/MainWindowFixture.h"

namespace fs = std::filesystem;
using platform::BoxKind;
using platform::ButtonNo;
using V = std::vector<std::string>;

namespace {

// Where a member's bytes lie in an archive that stores them as they are.
size_t Where(const std::string& archive, const std::string& bytes) {
  const size_t at = Content(archive).find(bytes);
  EXPECT_NE(at, std::string::npos);
  return at;
}

class RecoveryEndToEnd : public MainWindowTest {
 protected:
  void SetUp() override { NotTheFirstRun(); }
};

}  // namespace

TEST_F(RecoveryEndToEnd, AnArchiveWithADamagedHeaderIsRebuiltWithTheMembersThatSurvived) {
  const std::string src = home.path() + "/src";
  Write(src + "/letter.txt", Noise(20000, 1));
  Write(src + "/docs/plan.txt", Noise(7000, 2));
  Write(src + "/photo.jpg", Noise(40000, 3));
  const std::string damaged = files() + "/holiday.j";
  ASSERT_EQ(Jar("a '" + damaged + "' -r letter.txt docs", src), 0);
  ASSERT_EQ(Jar("a '" + damaged + "' photo.jpg", src), 0);
  // The file header past its signature, and the middle of the photo's data.
  Overwrite(damaged, 40, "overwritten");
  Overwrite(damaged, Where(damaged, Noise(40000, 3).substr(20000, 64)), std::string(64, '\x55'));
  const std::string damagedBytes = Content(damaged);
  ASSERT_NE(Jar("l '" + damaged + "'", files()), 0) << "the header no longer reads";

  Start();
  prompter.expect(BoxKind::Error, "A warning was issued, do you want to see the Jar32 output ?", ButtonNo);
  prompter.expect(BoxKind::Information, "Recovery Successful !\nFile created is \"$recover.j\"");
  chooser.answer(damaged);
  Action("Mainmenu_RecoverHeader")->trigger();
  EXPECT_EQ(Content(damaged), damagedBytes) << "the damaged archive stays as it was";

  const std::string recovered = files() + "/$recover.j";
  ASSERT_TRUE(window->OpenArchive(recovered, true));
  window->findChild<QAction*>("ByName")->trigger();
  EXPECT_EQ(Names(), (V{"\\docs\\", "\\letter.txt", "docs\\plan.txt"}));
  EXPECT_EQ(Jar("t '" + recovered + "'", files()), 0);
  const std::string out = home.path() + "/out";
  fs::create_directories(out);
  ASSERT_EQ(Jar("x '" + recovered + "' -y", out), 0);
  EXPECT_EQ(Content(out + "/letter.txt"), Content(src + "/letter.txt"));
  EXPECT_EQ(Content(out + "/docs/plan.txt"), Content(src + "/docs/plan.txt"));
  EXPECT_FALSE(fs::exists(out + "/photo.jpg"));
}

TEST_F(RecoveryEndToEnd, AMissingJarCfgIsGeneratedBesideTheArchiverThatThenReadsIt) {
  const std::string folder = home.path() + "/archiver";
  fs::create_directories(folder);
  const std::string program = folder + "/jar32.exe";
  fs::copy_file(kJar32, program);
  const std::string archive = MakeDemoArchive();
  window = std::make_unique<TMain>(MainServices{store, prompter, chooser, clipboard, fileOperations, {}});
  window->config().theJar32Exe = program;
  window->jar().tempFolder = work() + "/";
  window->show();
  window->FormActivate();

  const std::string config = fs::canonical(folder).string() + "/jar.cfg";
  prompter.expect(BoxKind::Error,
                  "Jar configuration file: \"" + folder + "/jar.cfg\" not found, use \"Generate Jar.cfg\" to make one!");
  ASSERT_TRUE(window->OpenArchive(archive, true));
  prompter.verifyDone();

  chooser.answer(config);
  Action("Mainmenu_GenerateJarcfg")->trigger();
  ASSERT_EQ(chooser.calls().size(), 1u);
  EXPECT_EQ(chooser.calls()[0].start, config) << "proposed beside the archiver";
  ASSERT_TRUE(platform::FileExists(config));
  EXPECT_EQ(window->config().currentArchive, archive);

  Action("Mainmenu_ReopenArchive")->trigger();  // no warning now
  EXPECT_EQ(Model()->rowCount(), 6);
}
