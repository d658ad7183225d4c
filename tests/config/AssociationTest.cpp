#include "config/Association.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "config/AssociationFiles.h"
#include "config/ShippedIcons.h"
#include "config/TConfig.h"
#include "platform/Files.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TempFolder.h"

using platform::BoxKind;
using testsupport::PlainBox;

namespace {

constexpr const char* kStartupQuestion = "Tamber is not properly associated to \".j\"\nDo you want it corrected ?";

std::string Read(const std::string& path) {
  std::string content;
  return platform::ReadWholeFile(path, content) ? content : "<unreadable>";
}

void Write(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  ASSERT_TRUE(platform::WriteWholeFile(path, content)) << path;
}

class AssociationTest : public ::testing::Test {
 protected:
  bool Ok(bool associateToJ, bool check = true) {
    return association::AssociationOk(places, associateToJ, check, prompter);
  }
  void Associate(bool associateToJ) { association::Associate(places, associateToJ, prompter); }
  std::string IconPath(const association::ShippedIcon& icon) const {
    return places.IconThemeFolder() + "/" + icon.sizeFolder + "/apps/" + icon.fileName;
  }

  TempFolder home;
  DesktopPlaces places{home.path() + "/data", home.path() + "/config", home.path() + "/bin/tamber"};
  testsupport::ScriptedPrompter prompter;
};

}  // namespace

TEST_F(AssociationTest, AssociateWritesEveryPieceAndTheCheckThenHolds) {
  EXPECT_FALSE(Ok(true));
  EXPECT_TRUE(Ok(false));  // nothing there is what "not associated" means
  Associate(true);
  EXPECT_TRUE(Ok(true));
  EXPECT_FALSE(Ok(false));
  EXPECT_EQ(Read(places.MimePackagePath()), association::MimePackageText());
  EXPECT_EQ(Read(places.DesktopEntryPath()), association::DesktopEntryText(places.programPath));
  EXPECT_EQ(Read(places.MimeAppsListPath()), "[Default Applications]\napplication/x-jar32-archive=tamber.desktop\n");
  ASSERT_GE(association::ShippedIcons().size(), 9u);  // the drawing and eight sizes
  for (const auto& icon : association::ShippedIcons()) EXPECT_EQ(Read(IconPath(icon)), icon.bytes) << IconPath(icon);
  EXPECT_EQ(std::filesystem::status(places.DesktopEntryPath()).permissions() & std::filesystem::perms::others_read,
            std::filesystem::perms::others_read);
  if (!platform::FindProgram("update-mime-database").empty()) {
    EXPECT_TRUE(platform::FileExists(places.MimeDatabaseFolder() + "/mime.cache"));
  }
}

TEST_F(AssociationTest, ForeignDefaultFailsTheCheckAndYesAtStartUpReplacesOnlyItsLine) {
  Associate(true);
  const std::string list = "# hand-written\r\n[Default Applications]\r\ntext/plain=editor.desktop\r\n"
                           "application/x-jar32-archive=other.desktop;\r\n\r\n[Added Associations]\r\nx/y=z;\r\n";
  Write(places.MimeAppsListPath(), list);
  Write(places.ApplicationsFolder() + "/other.desktop", "[Desktop Entry]\nExec=other %f\n");
  EXPECT_FALSE(Ok(true));

  prompter.expect(BoxKind::Error, kStartupQuestion, platform::ButtonYes, platform::ButtonYes | platform::ButtonNo);
  platform::SettingsStore store(home.path() + "/registry.reg");
  TConfig config(store, prompter, places);
  prompter.verifyDone();
  EXPECT_TRUE(config.checkAssociations);
  EXPECT_TRUE(Ok(true));
  std::string expected = list;
  expected.replace(expected.find("other.desktop;"), 14, "tamber.desktop");
  EXPECT_EQ(Read(places.MimeAppsListPath()), expected);
  EXPECT_EQ(Read(places.ApplicationsFolder() + "/other.desktop"), "[Desktop Entry]\nExec=other %f\n");
}

TEST_F(AssociationTest, WithAssociateOffAnyDefaultFailsTheCheckAndAssociateRemovesOurPieces) {
  Associate(true);
  Write(places.MimeAppsListPath(), "[Default Applications]\napplication/x-jar32-archive=someone.desktop\nimage/png=v.desktop\n");
  Write(places.MimeDatabaseFolder() + "/packages/other.xml", "<mime-info/>");
  EXPECT_FALSE(Ok(false));
  Associate(false);
  EXPECT_TRUE(Ok(false));
  EXPECT_EQ(Read(places.MimeAppsListPath()), "[Default Applications]\nimage/png=v.desktop\n");
  EXPECT_FALSE(platform::PathExists(places.MimePackagePath()));
  EXPECT_FALSE(platform::PathExists(places.DesktopEntryPath()));
  for (const auto& icon : association::ShippedIcons()) EXPECT_FALSE(platform::PathExists(IconPath(icon)));
  EXPECT_EQ(Read(places.MimeDatabaseFolder() + "/packages/other.xml"), "<mime-info/>");

  // Our type's package alone, without any default, is a mismatch too.
  Write(places.MimePackagePath(), association::MimePackageText());
  EXPECT_FALSE(Ok(false));
}

TEST_F(AssociationTest, WithAssociateOffACompleteDesktopEntryAloneMatches) {
  Write(places.DesktopEntryPath(), association::DesktopEntryText(places.programPath));
  EXPECT_TRUE(Ok(false));
  EXPECT_TRUE(platform::FileExists(places.DesktopEntryPath()));
}

TEST_F(AssociationTest, OnlyTheCommandAndThePresenceOfAnIconCount) {
  Associate(true);
  const std::string entry = Read(places.DesktopEntryPath());
  std::string otherIcon = entry;
  otherIcon.replace(otherIcon.find("Icon=tamber"), 11, "Icon=/somewhere/else.png");
  Write(places.DesktopEntryPath(), otherIcon);
  EXPECT_TRUE(Ok(true)) << "a changed icon alone";

  std::string noIcon = entry;
  noIcon.erase(noIcon.find("Icon=tamber\n"), 12);
  Write(places.DesktopEntryPath(), noIcon);
  EXPECT_FALSE(Ok(true));

  std::string edited = entry;
  edited.replace(edited.find(" %f"), 3, " --verbose %f");
  Write(places.DesktopEntryPath(), edited);
  EXPECT_FALSE(Ok(true)) << "a command edited by hand";
  Associate(true);
  EXPECT_EQ(Read(places.DesktopEntryPath()), entry);
}

TEST_F(AssociationTest, AMovedProgramFailsTheCheckAndAssociateRewritesTheCommand) {
  Associate(true);
  places.programPath = home.path() + "/moved here/tamber-2";
  EXPECT_FALSE(Ok(true));
  Associate(true);
  EXPECT_TRUE(Ok(true));
  EXPECT_EQ(association::DesktopEntryValue(Read(places.DesktopEntryPath()), "Exec"),
            "\"" + home.path() + "/moved here/tamber-2\" %f");
}

TEST_F(AssociationTest, WithCheckOffNothingIsReadOrAsked) {
  places.dataHome = "";  // any look would fail
  EXPECT_TRUE(Ok(true, false));
  EXPECT_TRUE(Ok(false, false));
  Write(home.path() + "/registry.reg",
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\TAMBER\\Configuration]\r\n"
        "\"checkAssociations\"=dword:00000000\r\n");
  platform::SettingsStore store(home.path() + "/registry.reg");
  TConfig config(store, prompter, places);
  EXPECT_TRUE(prompter.calls().empty());
}

TEST_F(AssociationTest, UnwritableFolderAsksRetryUntilCancelKeepingWhatWasWritten) {
  Write(places.dataHome, "a file where the data folder should be");
  prompter.expect(BoxKind::Error, association::kRetryMessage, platform::ButtonRetry,
                  platform::ButtonRetry | platform::ButtonCancel);
  prompter.expect(BoxKind::Error, association::kRetryMessage, platform::ButtonCancel,
                  platform::ButtonRetry | platform::ButtonCancel);
  Associate(true);
  prompter.verifyDone();
  EXPECT_EQ(Read(places.dataHome), "a file where the data folder should be");
  EXPECT_EQ(association::DefaultApplication(Read(places.MimeAppsListPath()), association::kMimeType),
            association::kDesktopId);
  EXPECT_FALSE(Ok(true));
}

TEST_F(AssociationTest, AnUnreadableMimeAppsListIsAMismatchAndIsNeverRewritten) {
  std::filesystem::create_directories(places.MimeAppsListPath() + "/inside");
  EXPECT_FALSE(Ok(true));
  EXPECT_FALSE(Ok(false));
  EXPECT_TRUE(prompter.calls().empty()) << "a failed read is a mismatch, not an error";
  prompter.expect(BoxKind::Error, association::kRetryMessage, platform::ButtonCancel);
  Associate(true);
  prompter.expect(BoxKind::Error, association::kRetryMessage, platform::ButtonCancel);
  Associate(false);  // removing our default from it fails all the same
  EXPECT_TRUE(std::filesystem::is_directory(places.MimeAppsListPath() + "/inside"));
}

TEST_F(AssociationTest, AProgramPathThatCannotBeWrittenIsAnError) {
  places.programPath = home.path() + "/two\nlines/tamber";
  prompter.expect(BoxKind::Error, association::kAssociateFailedMessage, platform::ButtonOk);
  Associate(true);
  EXPECT_FALSE(platform::PathExists(places.DesktopEntryPath()));
}

TEST_F(AssociationTest, NoAtStartUpClearsTheCheckUntilSavedAndThenForGood) {
  const std::string storePath = home.path() + "/registry.reg";
  {
    platform::SettingsStore store(storePath);
    prompter.expect(BoxKind::Error, kStartupQuestion, platform::ButtonNo);
    TConfig config(store, prompter, places);
    prompter.verifyDone();
    EXPECT_FALSE(config.checkAssociations);
    EXPECT_FALSE(platform::PathExists(places.DesktopEntryPath()));
    ASSERT_TRUE(config.Save());
  }
  platform::SettingsStore store(storePath);
  EXPECT_EQ(store.readNumber(TConfig::kKey, "checkAssociations"), 0u);
  TConfig config(store, prompter, places);
  EXPECT_EQ(prompter.calls().size(), 1u) << "the next start asks nothing";
}

TEST_F(AssociationTest, SaveAndRepairAssociatesWithoutAskingEvenWhenSaveFails) {
  Write(home.path() + "/blocked", "a file where the settings folder should be");
  platform::SettingsStore store(home.path() + "/blocked/registry.reg");
  prompter.expect(BoxKind::Error, kStartupQuestion, platform::ButtonNo);
  TConfig config(store, prompter, places);
  config.checkAssociations = true;
  prompter.expect(PlainBox, "Error opening registry for saving!");
  EXPECT_TRUE(config.SaveAndRepair());
  prompter.verifyDone();
  EXPECT_TRUE(Ok(true));

  config.associateToJ = false;
  EXPECT_FALSE(config.AssociationOk());
  prompter.expect(PlainBox, "Error opening registry for saving!");
  EXPECT_TRUE(config.SaveAndRepair());
  EXPECT_FALSE(platform::PathExists(places.DesktopEntryPath()));
}
