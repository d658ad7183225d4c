#include "config/TConfig.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TempFolder.h"

namespace {

class ConfigTest : public ::testing::Test {
 protected:
  std::string StorePath() const { return home.path() + "/registry.reg"; }
  // A store file written by hand, as a user or an installer would.
  void WriteStore(const std::string& values) {
    ASSERT_TRUE(platform::WriteWholeFile(
        StorePath(), "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\TAMBER\\Configuration]\r\n" +
                         values + "\r\n"));
  }

  TempFolder home;
  testsupport::ScriptedPrompter prompter;
};

}  // namespace

TEST_F(ConfigTest, FirstStartHasTheDefaults) {
  platform::SettingsStore store(StorePath());
  TConfig config(store, prompter);
  const std::string program = platform::WithoutTrailingSeparator(platform::FolderPart(platform::RunningProgramPath()));
  EXPECT_EQ(config.programFolder, program);
  EXPECT_EQ(config.nrRecentEntries, 4);
  EXPECT_EQ(config.theJar32Exe, "jar32.exe");
  for (const std::string* folder : {&config.theStartupFolder, &config.theAddFolder, &config.theExtractFolder,
                                    &config.lastOpenArchive, &config.lastAddFolder, &config.lastExtractFolder})
    EXPECT_EQ(*folder, program);
  EXPECT_EQ(config.systemTempFolder, platform::SystemTempFolder());
  EXPECT_EQ(config.theTemporaryFolder, config.systemTempFolder);
  EXPECT_TRUE(config.associateToJ && config.checkAssociations && config.internalJarCheck && config.flatButtons);
  EXPECT_FALSE(config.showDosbox || config.largeButtons || config.RealTimeAllowed || config.loadDefaultAtStart);
  EXPECT_EQ(config.jar32Priority, 0);
  EXPECT_EQ(config.password, "");
  EXPECT_FALSE(store.keyExists(TConfig::kKey));  // nothing written by starting
}

TEST_F(ConfigTest, ValuesReadAloneOverTheDefaults) {
  WriteStore(
      "\"nrRecentEntries\"=\"7\"\r\n"            // a string where a number belongs: keeps 4
      "\"startupFolder\"=dword:00010002\r\n"      // low 16 bits of a choice
      "\"jar32Priority\"=dword:ffffffff\r\n"
      "\"showDosbox\"=dword:00000005\r\n"         // any non-zero number is true
      "\"associateToJ\"=dword:00000000\r\n"
      "\"RealTimeAllowed\"=dword:00000001\r\n"
      "\"theAddFolder\"=dword:00000001\r\n"       // a number where a string belongs: keeps the default
      "\"theStartupFolder\"=\"/srv/archives\"\r\n");
  platform::SettingsStore store(StorePath());
  TConfig config(store, prompter);
  EXPECT_EQ(config.nrRecentEntries, 4);
  EXPECT_EQ(config.startupFolder, 2);
  EXPECT_EQ(config.jar32Priority, -1);
  EXPECT_TRUE(config.showDosbox);
  EXPECT_FALSE(config.associateToJ);
  EXPECT_TRUE(config.RealTimeAllowed);
  EXPECT_EQ(config.theAddFolder, config.programFolder);
  EXPECT_EQ(config.theStartupFolder, "/srv/archives");
  EXPECT_EQ(config.theJar32Exe, "");  // an absent string reads as the empty text
  EXPECT_EQ(config.lastOpenArchive, "");
}

TEST_F(ConfigTest, AMissingTemporaryFolderFallsBackToTheStoredSystemFolder) {
  WriteStore("\"systemTempFolder\"=\"" + home.path() + "\"\r\n\"theTemporaryFolder\"=\"" + home.path() + "/deleted\"\r\n");
  platform::SettingsStore store(StorePath());
  TConfig config(store, prompter);
  EXPECT_EQ(config.systemTempFolder, home.path());
  EXPECT_EQ(config.theTemporaryFolder, home.path());
}

TEST_F(ConfigTest, SaveWritesTwentySevenValuesAndLeavesRealTimeAllowedAlone) {
  WriteStore("\"RealTimeAllowed\"=dword:00000001\r\n");
  {
    platform::SettingsStore store(StorePath());
    TConfig config(store, prompter);
    config.theJar32Exe = "/opt/jar/jar32.exe";
    config.nrRecentEntries = 9;
    config.extractFolder = -2;
    config.largeButtons = true;
    config.password = "secret12";  // never stored
    config.currentArchive = "/a.j";
    ASSERT_TRUE(config.Save());
    EXPECT_EQ(store.valueNames(TConfig::kKey).size(), 28u);  // 27 and the hand-written one
  }
  platform::SettingsStore store(StorePath());
  EXPECT_EQ(store.readNumber(TConfig::kKey, "RealTimeAllowed"), 1u);
  EXPECT_EQ(store.readNumber(TConfig::kKey, "extractFolder"), 0xFFFFFFFEu);  // sign-extended
  ASSERT_TRUE(store.deleteValue(TConfig::kKey, "RealTimeAllowed"));
  EXPECT_EQ(store.valueNames(TConfig::kKey).size(), 27u);
  TConfig config(store, prompter);
  EXPECT_EQ(config.theJar32Exe, "/opt/jar/jar32.exe");
  EXPECT_EQ(config.nrRecentEntries, 9);
  EXPECT_EQ(config.extractFolder, -2);
  EXPECT_TRUE(config.largeButtons);
  EXPECT_EQ(config.password, "");
  EXPECT_EQ(config.currentArchive, "");
  std::string text;
  ASSERT_TRUE(platform::ReadWholeFile(StorePath(), text));
  EXPECT_EQ(text.find("secret12"), std::string::npos);
}

TEST_F(ConfigTest, SaveThatCannotWriteSaysSo) {
  const std::string blocked = home.path() + "/blocked";
  ASSERT_TRUE(platform::WriteWholeFile(blocked, "a file where the folder should be"));
  platform::SettingsStore store(blocked + "/registry.reg");
  TConfig config(store, prompter);
  prompter.expect(testsupport::PlainBox, "Error opening registry for saving!");
  EXPECT_FALSE(config.Save());
}

TEST_F(ConfigTest, FailedSaveLeavesNothingForALaterSave) {
  const std::string folder = home.path() + "/config";
  const std::string file = folder + "/registry.reg";
  std::filesystem::create_directory(folder);
  platform::SettingsStore store(file);
  store.writeString(TConfig::kKey, "theJar32Exe", "old.exe");
  ASSERT_TRUE(store.save()) << store.lastError();
  TConfig config(store, prompter);
  ASSERT_EQ(config.theJar32Exe, "old.exe");

  // The folder gives way to a file: the save fails.
  std::filesystem::rename(folder, folder + ".away");
  ASSERT_TRUE(platform::WriteWholeFile(folder, "in the way"));
  config.theJar32Exe = "new.exe";
  config.nrRecentEntries = 9;
  prompter.expect(testsupport::PlainBox, "Error opening registry for saving!");
  EXPECT_FALSE(config.Save());
  EXPECT_EQ(store.readString(TConfig::kKey, "theJar32Exe"), "old.exe");
  EXPECT_FALSE(store.readNumber(TConfig::kKey, "nrRecentEntries").has_value());

  // A later save of something else writes the old values only.
  std::filesystem::remove(folder);
  std::filesystem::rename(folder + ".away", folder);
  store.writeNumber("\\Software\\TAMBER\\Settings", "x", 1);
  ASSERT_TRUE(store.save()) << store.lastError();
  platform::SettingsStore reread(file);
  EXPECT_EQ(reread.readString(TConfig::kKey, "theJar32Exe"), "old.exe");
  EXPECT_EQ(reread.valueNames(TConfig::kKey), std::vector<std::string>{"theJar32Exe"});
}

TEST_F(ConfigTest, FailedFirstSaveLeavesNoKey) {
  const std::string blocked = home.path() + "/blocked";
  platform::SettingsStore store(blocked + "/registry.reg");
  TConfig config(store, prompter);
  ASSERT_TRUE(platform::WriteWholeFile(blocked, "a file where the folder should be"));
  prompter.expect(testsupport::PlainBox, "Error opening registry for saving!");
  EXPECT_FALSE(config.Save());
  EXPECT_FALSE(store.keyExists("\\Software"));
}

TEST_F(ConfigTest, ADamagedStoreStartsOnDefaults) {
  ASSERT_TRUE(platform::WriteWholeFile(StorePath(), "[HKEY_CURRENT_USER\\Software\\TAMBER\\Configuration]\n\"nrRecentEntries\"=dword:zz\n"));
  platform::SettingsStore store(StorePath());
  EXPECT_FALSE(store.loadWarning().empty());
  TConfig config(store, prompter);
  EXPECT_EQ(config.nrRecentEntries, 4);
  EXPECT_EQ(config.theJar32Exe, "jar32.exe");
}

TEST_F(ConfigTest, PasswordRules) {
  EXPECT_FALSE(TConfig::IsValidPassword(""));
  EXPECT_FALSE(TConfig::IsValidPassword("1234567"));
  EXPECT_TRUE(TConfig::IsValidPassword("12345678"));
  EXPECT_FALSE(TConfig::IsValidPassword("1234 5678"));
  EXPECT_FALSE(TConfig::IsValidPassword("my\"best\"pass"));

  platform::SettingsStore store(StorePath());
  TConfig config(store, prompter);
  config.StorePassword("secret12");
  EXPECT_EQ(config.password, "secret12");
  config.StorePassword("short");
  config.StorePassword("has a space");
  EXPECT_EQ(config.password, "secret12");
  config.StorePassword("");
  EXPECT_EQ(config.password, "");
}

TEST(ProgramFolder, RootsKeepTheirSeparator) {
  EXPECT_EQ(ProgramFolderOf("/bin/tamber"), "/bin");
  EXPECT_EQ(ProgramFolderOf("/tamber"), "/");
  EXPECT_EQ(ProgramFolderOf(""), "/");
  EXPECT_EQ(ProgramFolderOf("/no/such/folder/tamber"), "/");
}
