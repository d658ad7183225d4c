// What the Extract, Delete and Copy dialogs hand to the job, run by the real jar32.exe on real
// files: the archiver takes every line, and the archive and the disk end up as the user chose.

#include <sys/wait.h>

#include <QSpinBox>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dialogs/CopyDialog_unit.h"
#include "dialogs/DeleteDialog_unit.h"
#include "dialogs/ExtractDialog_unit.h"
#include "dialogs/FileNameField.h"
#include "tests/dialogs/OpsDialogFixture.h"
#include "tests/support/ModalDriver.h"

namespace fs = std::filesystem;

namespace {

const std::string kJar32 = std::string(TAMBER_BIN_DIR) + "/jar32.exe";

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The files below a folder, by relative path, with their contents.
std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = Slurp(entry.path().string());
  return files;
}

class OpsDialogsEndToEnd : public OpsDialogTest {
 protected:
  OpsDialogsEndToEnd() {
    config.theJar32Exe = kJar32;
    config.showDosbox = false;
    jar.SetOwner(&loop);
    fs::create_directories(src() + "/docs/sub");
    Write(src() + "/readme.txt", "read me\n");
    Write(src() + "/docs/guide.txt", std::string(5000, 'g'));
    Write(src() + "/docs/sub/n\xC3\xA4me with blanks.txt", "x");
    Write(src() + "/data.bin", std::string("\0\1\2binary", 9));
    EXPECT_EQ(Jar("a '" + archive() + "' -r readme.txt docs data.bin", src()), 0) << Output();
    config.currentArchive = archive();
  }

  std::string src() const { return home.path() + "/src"; }
  std::string archive() const { return home.path() + "/test.j"; }
  std::string Output() const { return Slurp(home.path() + "/jar.out"); }
  static void Write(const std::string& path, const std::string& data) {
    ASSERT_TRUE(platform::WriteWholeFile(path, data));
  }

  // jar32.exe from a shell, to prepare and inspect archives as a person would.
  int Jar(const std::string& arguments, const std::string& folder = "") {
    const std::string command = (folder.empty() ? "" : "cd '" + folder + "' && ") + "'" + kJar32 + "' " + arguments +
                                " >'" + home.path() + "/jar.out' 2>&1 </dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Listing(const std::string& path, const std::string& password = "") {
    EXPECT_EQ(Jar("l -jb1- '" + path + "'" + (password.empty() ? "" : " -g" + password)), 0) << Output();
    return Output();
  }

  // A command as the main window runs it: reset, the dialog, the archive, the run.
  void Prepare() {
    jar.ResetOptions();
    jar.archiveName = config.currentArchive;
  }

  platform::QueueRunEventLoop loop;
};

}  // namespace

TEST_F(OpsDialogsEndToEnd, ExtractAllWithFoldersGivesBackTheFilesByteForByte) {
  const std::string target = work.path() + "/restore";
  Prepare();
  TExtractDialog dialog(config, prompter, chooser, &owner);
  OnNextModal<TExtractDialog>([&](TExtractDialog& d) {
    Find<QLineEdit>(d, "FileBox")->setText(QString::fromStdString(target));  // made by the archiver
    Button(d, "Button2")->click();
  });
  ASSERT_FALSE(dialog.Execute(0, work.path()));
  ASSERT_NO_THROW(jar.Run(dialog.operation()));
  EXPECT_EQ(Tree(target), Tree(src()));
}

TEST_F(OpsDialogsEndToEnd, ExtractWildcardsWithoutFoldersAndSelectedRowsWithAnExclusion) {
  const std::string flat = work.path() + "/flat";
  fs::create_directories(flat);
  Prepare();
  TExtractDialog wildcards(config, prompter, chooser, &owner);
  OnNextModal<TExtractDialog>([](TExtractDialog& d) {
    Button(d, "Wildcards")->click();
    Button(d, "FolderNamesCheckBox")->click();
    Type(d, "Memo1", "*.txt\n");
    Button(d, "Button2")->click();
  });
  ASSERT_FALSE(wildcards.Execute(0, flat));
  ASSERT_NO_THROW(jar.Run(wildcards.operation()));
  EXPECT_EQ(Tree(flat), (std::map<std::string, std::string>{{"guide.txt", std::string(5000, 'g')},
                                                            {"n\xC3\xA4me with blanks.txt", "x"},
                                                            {"readme.txt", "read me\n"}}));

  const std::string picked = work.path() + "/picked";
  fs::create_directories(picked);
  Prepare();
  TExtractDialog selected(config, prompter, chooser, &owner);
  OnNextModal<TExtractDialog>([](TExtractDialog& d) {
    Type(d, "Memo1", "guide.txt");
    Button(d, "Button2")->click();
  });
  ASSERT_FALSE(selected.Execute(2, picked));
  ASSERT_TRUE(selected.selectedFiles());
  jar.fileList = {"docs\\guide.txt", "\\readme.txt"};  // the rows' Path + Name
  ASSERT_NO_THROW(jar.Run(selected.operation()));
  EXPECT_EQ(Tree(picked), (std::map<std::string, std::string>{{"readme.txt", "read me\n"}}));
}

TEST_F(OpsDialogsEndToEnd, DeleteWildcardsAndAChapterRange) {
  Prepare();
  TDeleteDialog wildcards(config, prompter, &owner);
  OnNextModal<TDeleteDialog>([](TDeleteDialog& d) {
    Button(d, "Wildcards")->click();
    Type(d, "WildcardMemo", "*.bin");
    Button(d, "OKBtn")->click();
  });
  ASSERT_FALSE(wildcards.Execute(0));
  ASSERT_NO_THROW(jar.Run(wildcards.operation()));
  std::string listing = Listing(archive());
  EXPECT_EQ(listing.find("data.bin"), std::string::npos) << listing;
  EXPECT_NE(listing.find("readme.txt"), std::string::npos) << listing;

  // Two more chapters, then the middle one goes.
  Write(src() + "/second.txt", "2");
  ASSERT_EQ(Jar("ac '" + archive() + "' second.txt", src()), 0) << Output();
  Write(src() + "/third.txt", "3");
  ASSERT_EQ(Jar("ac '" + archive() + "' third.txt", src()), 0) << Output();
  Prepare();
  TDeleteDialog chapters(config, prompter, &owner);
  chapters.setChapters(true, 3);
  OnNextModal<TDeleteDialog>([](TDeleteDialog& d) {
    Button(d, "Chapters")->click();
    Find<QSpinBox>(d, "UpDown2")->setValue(2);
    Find<QSpinBox>(d, "UpDown1")->setValue(2);
    Button(d, "OKBtn")->click();
  });
  ASSERT_FALSE(chapters.Execute(0));
  ASSERT_EQ(chapters.operation(), opDeleteChapters);
  ASSERT_NO_THROW(jar.Run(chapters.operation()));
  listing = Listing(archive());
  EXPECT_NE(listing.find("2 chapters"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("second.txt"), std::string::npos) << listing;
  EXPECT_NE(listing.find("third.txt"), std::string::npos) << listing;
}

TEST_F(OpsDialogsEndToEnd, CopyWithANewPasswordAndAComment) {
  const std::string copy = work.path() + "/protected.j";
  Prepare();
  TCopyDialog dialog(config, prompter, chooser, &owner);
  dialog.setArchiveComment("");
  OnNextModal<TCopyDialog>([&](TCopyDialog& d) {
    Find<FileNameField>(d, "FE_OutputArchive")->setText(copy);
    Button(d, "CB_Password")->click();
    Find<QLineEdit>(d, "ED_NewPassword")->setText("brand-new-pass");
    Button(d, "CB_ArchiveComments")->click();
    Type(d, "ME_ArchiveComments", "Copied for safe keeping.\nSecond line.");
    Button(d, "Button1")->click();
  });
  ASSERT_TRUE(dialog.Execute());
  ASSERT_NO_THROW(jar.Run(opCopyArchive));

  const std::string refused = work.path() + "/no-password";
  EXPECT_NE(Jar("x '" + copy + "' -o'" + refused + "'"), 0);  // refused without the password
  EXPECT_TRUE(!fs::exists(refused) || Tree(refused).empty());
  const std::string listing = Listing(copy, "brand-new-pass");
  EXPECT_NE(listing.find("PROTECTED"), std::string::npos) << listing;
  EXPECT_NE(listing.find("Copied for safe keeping.\nSecond line.\n"), std::string::npos) << listing;
  EXPECT_EQ(Listing(archive()).find("PROTECTED"), std::string::npos);  // the original is as it was

  // The copy extracts with the password as the original did.
  const std::string target = work.path() + "/from-copy";
  config.currentArchive = copy;
  config.StorePassword("brand-new-pass");
  Prepare();
  jar.usePassword = true;
  TExtractDialog extract(config, prompter, chooser, &owner);
  OnNextModal<TExtractDialog>([&](TExtractDialog& d) {
    Find<QLineEdit>(d, "FileBox")->setText(QString::fromStdString(target));
    Button(d, "Button2")->click();
  });
  ASSERT_FALSE(extract.Execute(0, work.path()));
  ASSERT_NO_THROW(jar.Run(extract.operation()));
  EXPECT_EQ(Tree(target), Tree(src()));
}

TEST_F(OpsDialogsEndToEnd, CopyOfALockedArchiveKeepsOrDropsTheLock) {
  ASSERT_EQ(Jar("y '" + archive() + "' -o'" + home.path() + "/locked.j' -jl"), 0) << Output();
  config.currentArchive = home.path() + "/locked.j";
  jar.archiveFlags = "LOCKED";
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep ? "kept" : "dropped");
    const std::string copy = work.path() + (keep ? "/kept.j" : "/dropped.j");
    Prepare();
    TCopyDialog dialog(config, prompter, chooser, &owner);
    OnNextModal<TCopyDialog>([&](TCopyDialog& d) {
      Find<FileNameField>(d, "FE_OutputArchive")->setText(copy);
      if (!keep) Button(d, "CB_LockArchive")->click();
      Button(d, "Button1")->click();
    });
    ASSERT_TRUE(dialog.Execute());
    ASSERT_NO_THROW(jar.Run(opCopyArchive));
    EXPECT_EQ(Listing(copy).find("LOCKED") != std::string::npos, keep) << Output();
  }
}
