#include "platform/SettingsStore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "tests/support/TempFolder.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

constexpr const char* kConfig = "\\Software\\TAMBER\\Configuration";

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  TempFolder dir_;
  std::string file_ = dir_.path() + "/registry.reg";
};

TEST_F(SettingsStoreTest, RoundTripsEveryTypeAndAwkwardText) {
  const std::vector<std::string> texts = {
      "",
      "plain",
      "say \"hi\"",
      "c:\\",
      "\\\\server\\share\\",
      "line one\r\nline two\nline three\r",
      "\n",
      "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80",
      "tab\there; [not a section]",
      "\\r is not a line break",
  };
  std::vector<uint8_t> longBlob(300);
  for (size_t i = 0; i < longBlob.size(); ++i) longBlob[i] = static_cast<uint8_t>(i * 7);
  const std::vector<uint8_t> shortBlob = {0x00, 0x7f, 0xff};
  {
    SettingsStore store(file_);
    EXPECT_TRUE(store.loadWarning().empty());
    for (size_t i = 0; i < texts.size(); ++i) store.writeString(kConfig, "text" + std::to_string(i), texts[i]);
    store.writeNumber(kConfig, "zero", 0);
    store.writeNumber(kConfig, "max", 0xffffffffu);
    store.writeNumber(kConfig, "four", 4);
    store.writeBinary(kConfig, "short", shortBlob);
    store.writeBinary(kConfig, "long", longBlob);
    store.writeBinary(kConfig, "empty", {});
    store.writeString(kConfig, "", "default value");
    store.writeString(kConfig, "odd \"name\" \\ with\nbreak", "x");
    store.writeString("\\Software\\Tamber\\Copy", "ME_ArchiveComments.Lines", "first\r\nsecond");
    ASSERT_TRUE(store.save()) << store.lastError();
  }
  SettingsStore store(file_);
  EXPECT_TRUE(store.loadWarning().empty()) << store.loadWarning();
  for (size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(store.readString(kConfig, "text" + std::to_string(i)), texts[i]) << "text" << i;
  EXPECT_EQ(store.readNumber(kConfig, "zero"), 0u);
  EXPECT_EQ(store.readNumber(kConfig, "max"), 0xffffffffu);
  EXPECT_EQ(store.readNumber(kConfig, "four"), 4u);
  EXPECT_EQ(store.value(kConfig, "short")->bytes, shortBlob);
  EXPECT_EQ(store.value(kConfig, "long")->bytes, longBlob);
  auto empty = store.value(kConfig, "empty");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->type, ValueType::Binary);
  EXPECT_TRUE(empty->bytes.empty());
  EXPECT_EQ(store.readString(kConfig, ""), "default value");
  EXPECT_EQ(store.readString(kConfig, "odd \"name\" \\ with\nbreak"), "x");
  EXPECT_EQ(store.readString("Software\\Tamber\\Copy", "ME_ArchiveComments.Lines"), "first\r\nsecond");

  // Saving what was loaded gives the same file: order and formatting are stable.
  std::string first = ReadText(file_);
  ASSERT_TRUE(store.save());
  EXPECT_EQ(ReadText(file_), first);
  // Multi-line values stay on one line; long binary data is wrapped.
  std::istringstream lines(first);
  size_t longest = 0;
  for (std::string line; std::getline(lines, line);) longest = std::max(longest, line.size());
  EXPECT_LT(longest, 90u);
}

TEST_F(SettingsStoreTest, WritesTheRegeditLayout) {
  SettingsStore store(file_);
  store.writeString(kConfig, "theJar32Exe", "c:\\jar\\jar32.exe");
  store.writeNumber(kConfig, "nrRecentEntries", 0xAB);
  store.writeBinary(kConfig, "blob", std::vector<uint8_t>{1, 2, 0xff});
  store.createKey("\\Software\\TAMBER\\Settings");
  ASSERT_TRUE(store.save());
  EXPECT_EQ(ReadText(file_),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\TAMBER]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\TAMBER\\Configuration]\n"
            "\"theJar32Exe\"=\"c:\\\\jar\\\\jar32.exe\"\n"
            "\"nrRecentEntries\"=dword:000000ab\n"
            "\"blob\"=hex:01,02,ff\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\TAMBER\\Settings]\n"
            "\n");
}

TEST_F(SettingsStoreTest, PathsAndNamesAreCaseInsensitiveAndKeepTheirCase) {
  SettingsStore store(file_);
  store.writeString("\\Software\\TAMBER\\Configuration", "theJar32Exe", "a");
  EXPECT_TRUE(store.keyExists("software\\tamber\\configuration"));
  EXPECT_TRUE(store.keyExists("\\SOFTWARE\\Tamber\\"));
  EXPECT_EQ(store.readString("software\\tamber\\CONFIGURATION", "THEJAR32EXE"), "a");

  store.writeString("SOFTWARE\\tamber\\configuration", "THEJAR32EXE", "b");
  EXPECT_EQ(store.valueNames(kConfig), std::vector<std::string>{"theJar32Exe"});
  EXPECT_EQ(store.readString(kConfig, "theJar32Exe"), "b");
  EXPECT_EQ(store.subkeyNames("software"), std::vector<std::string>{"TAMBER"});
  EXPECT_EQ(store.subkeyNames(""), std::vector<std::string>{"Software"});
  EXPECT_FALSE(store.keyExists("\\Software\\TAMBER\\Config"));
}

TEST_F(SettingsStoreTest, KeysWithoutValuesAndTypedReads) {
  {
    SettingsStore store(file_);
    EXPECT_FALSE(store.keyExists("\\Software\\TAMBER\\Settings"));
    EXPECT_TRUE(store.createKey("\\Software\\TAMBER\\Settings"));
    EXPECT_TRUE(store.createKey("software\\tamber\\settings"));  // already there: no-op
    store.writeString(kConfig, "nrRecentEntries", "4");
    store.writeNumber(kConfig, "showDosbox", 1);
    ASSERT_TRUE(store.save());
  }
  SettingsStore store(file_);
  EXPECT_TRUE(store.keyExists("\\Software\\TAMBER\\Settings"));
  EXPECT_TRUE(store.valueNames("\\Software\\TAMBER\\Settings").empty());
  EXPECT_EQ(store.subkeyNames("\\Software\\TAMBER"), (std::vector<std::string>{"Settings", "Configuration"}));
  // A value of another type is not read as the asked one.
  EXPECT_FALSE(store.readNumber(kConfig, "nrRecentEntries"));
  EXPECT_FALSE(store.readString(kConfig, "showDosbox"));
  EXPECT_EQ(store.value(kConfig, "nrRecentEntries")->type, ValueType::String);
  EXPECT_FALSE(store.value(kConfig, "missing"));
  EXPECT_FALSE(store.value("\\No\\Such\\Key", "x"));
}

TEST_F(SettingsStoreTest, ReplacingKeepsPositionAndDeletingValues) {
  SettingsStore store(file_);
  store.writeString(kConfig, "a", "1");
  store.writeString(kConfig, "b", "2");
  store.writeString(kConfig, "c", "3");
  store.writeNumber(kConfig, "A", 9);  // replaces "a" in place, type changes
  store.writeString(kConfig, "d", "4");
  EXPECT_EQ(store.valueNames(kConfig), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(store.readNumber(kConfig, "a"), 9u);

  EXPECT_TRUE(store.deleteValue(kConfig, "B"));
  EXPECT_FALSE(store.deleteValue(kConfig, "b"));
  EXPECT_FALSE(store.deleteValue("\\Missing", "a"));
  EXPECT_EQ(store.valueNames(kConfig), (std::vector<std::string>{"a", "c", "d"}));
  EXPECT_TRUE(store.keyExists(kConfig));
}

TEST_F(SettingsStoreTest, DeleteKeyTakesSubkeysAndLeavesSiblings) {
  {
    SettingsStore store(file_);
    store.writeString("\\Tamber\\Shell\\open\\command", "", "tamber \"%1\"");
    store.writeString("\\Tamber\\DefaultIcon", "", "tamber,0");
    store.writeString("\\.j", "", "Tamber");
    ASSERT_TRUE(store.save());
  }
  SettingsStore store(file_);
  EXPECT_TRUE(store.deleteKey("\\tamber\\SHELL"));
  EXPECT_FALSE(store.keyExists("\\Tamber\\Shell\\open\\command"));
  EXPECT_FALSE(store.keyExists("\\Tamber\\Shell"));
  EXPECT_TRUE(store.keyExists("\\Tamber\\DefaultIcon"));
  EXPECT_FALSE(store.deleteKey("\\Tamber\\Shell"));
  EXPECT_FALSE(store.deleteKey(""));
  EXPECT_FALSE(store.deleteKey("\\"));
  EXPECT_TRUE(store.deleteKey(".j"));
  ASSERT_TRUE(store.save());

  SettingsStore reloaded(file_);
  EXPECT_EQ(reloaded.subkeyNames(""), std::vector<std::string>{"Tamber"});
  EXPECT_EQ(reloaded.subkeyNames("Tamber"), std::vector<std::string>{"DefaultIcon"});
}

TEST_F(SettingsStoreTest, RefusesKeyNamesThatCannotBeStored) {
  SettingsStore store(file_);
  EXPECT_FALSE(store.createKey("\\Software\\bad\nname"));
  EXPECT_FALSE(store.writeString("\\Software\\bad\rname", "x", "y"));
  EXPECT_FALSE(store.keyExists("\\Software\\bad\nname"));
  EXPECT_TRUE(store.subkeyNames("").empty());
}

TEST_F(SettingsStoreTest, ReadsAHandWrittenFile) {
  WriteText(file_,
            "\xEF\xBB\xBF"
            "; written by hand\r\n"
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\TAMBER\\Configuration]\r\n"
            "; a comment between values\r\n"
            "\"RealTimeAllowed\"=dword:1\r\n"
            "\"theJar32Exe\" = \"/opt/jar/jar32.exe\"   \r\n"
            "\"blob\"=hex:0A,0b,\\\r\n"
            "  FF\r\n"
            "@=\"default\"\r\n"
            "\r\n"
            "\r\n"
            "[hkey_current_user\\Software\\TAMBER\\Configuration]\r\n"
            "\"theJar32Exe\"=\"jar32.exe\"\r\n"
            "[HKEY_CURRENT_USER\\Software\\TAMBER\\Settings]\r\n");
  SettingsStore store(file_);
  EXPECT_TRUE(store.loadWarning().empty()) << store.loadWarning();
  EXPECT_EQ(store.readNumber(kConfig, "RealTimeAllowed"), 1u);
  EXPECT_EQ(store.readString(kConfig, "theJar32Exe"), "jar32.exe");
  EXPECT_EQ(store.value(kConfig, "blob")->bytes, (std::vector<uint8_t>{0x0a, 0x0b, 0xff}));
  EXPECT_EQ(store.readString(kConfig, ""), "default");
  EXPECT_EQ(store.valueNames(kConfig), (std::vector<std::string>{"RealTimeAllowed", "theJar32Exe", "blob", ""}));
  EXPECT_TRUE(store.keyExists("\\Software\\TAMBER\\Settings"));
}

TEST_F(SettingsStoreTest, EmptyFileIsAnEmptyStore) {
  WriteText(file_, "");
  SettingsStore store(file_);
  EXPECT_TRUE(store.loadWarning().empty());
  EXPECT_TRUE(store.subkeyNames("").empty());
  EXPECT_TRUE(store.save());
}

TEST_F(SettingsStoreTest, DamagedFilesAreSetAsideAndTheStoreStartsEmpty) {
  const std::string head = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\TAMBER]\n";
  const std::vector<std::string> damaged = {
      "REGEDIT4\n",
      "Windows Registry Editor Version 5.00\n\"a\"=\"outside a section\"\n",
      head + "\"a\"=\"bad escape \\t\"\n",
      head + "\"a\"=\"unterminated\n",
      head + "\"a\"=\"x\" trailing\n",
      head + "\"a\"=dword:123456789\n",
      head + "\"a\"=dword:12g4\n",
      head + "\"a\"=hex:01,2,03\n",
      head + "\"a\"=hex:01,02,\n",
      head + "\"a\"=hex:01,\\\n",
      head + "\"a\"=hex(2):41,00\n",
      head + "\"a\"\n",
      head + "garbage\n",
      head + "[HKEY_CURRENT_USER\\Software\n",
      head + "[HKEY_LOCAL_MACHINE\\Software]\n",
      head + "[HKEY_CURRENT_USER\\Soft\x01ware]\n",
  };
  for (const std::string& content : damaged) {
    SCOPED_TRACE(content);
    TempFolder dir;
    const std::string file = dir.path() + "/registry.reg";
    WriteText(file, content);
    SettingsStore store(file);
    EXPECT_TRUE(store.subkeyNames("").empty());
    ASSERT_FALSE(store.loadWarning().empty());
    EXPECT_FALSE(fs::exists(file));
    auto names = FilesIn(dir.path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].starts_with("registry.reg.damaged-")) << names[0];
    EXPECT_NE(store.loadWarning().find(dir.path() + "/" + names[0]), std::string::npos) << store.loadWarning();
    EXPECT_EQ(ReadText(dir.path() + "/" + names[0]), content);
  }
}

TEST_F(SettingsStoreTest, SettingAsideNeverOverwritesAnEarlierCopy) {
  for (int round = 0; round < 3; ++round) {
    WriteText(file_, "damaged " + std::to_string(round));
    SettingsStore store(file_);
    EXPECT_FALSE(store.loadWarning().empty());
    store.writeNumber(kConfig, "x", 1);
    ASSERT_TRUE(store.save()) << store.lastError();  // a fresh file takes the damaged one's place
    EXPECT_EQ(SettingsStore(file_).readNumber(kConfig, "x"), 1u);
  }
  std::set<std::string> contents;
  for (const auto& name : FilesIn(dir_.path()))
    if (name != "registry.reg") contents.insert(ReadText(dir_.path() + "/" + name));
  EXPECT_EQ(contents, (std::set<std::string>{"damaged 0", "damaged 1", "damaged 2"}));
}

TEST_F(SettingsStoreTest, UnreadableFileIsNeverReplaced) {
  // A path through a file cannot be read by anyone, root included.
  const std::string inTheWay = dir_.path() + "/config";
  WriteText(inTheWay, "not a folder");
  SettingsStore throughAFile(inTheWay + "/registry.reg");
  EXPECT_NE(throughAFile.loadWarning().find("cannot be read"), std::string::npos) << throughAFile.loadWarning();
  throughAFile.writeNumber(kConfig, "x", 1);
  EXPECT_FALSE(throughAFile.save());
  EXPECT_FALSE(throughAFile.lastError().empty());
  EXPECT_EQ(ReadText(inTheWay), "not a folder");

  if (::geteuid() == 0) return;  // root reads a file without permissions
  WriteText(file_, "Windows Registry Editor Version 5.00\n");
  ::chmod(file_.c_str(), 0);
  SettingsStore store(file_);
  EXPECT_FALSE(store.loadWarning().empty());
  store.writeNumber(kConfig, "x", 1);
  EXPECT_FALSE(store.save());
  EXPECT_FALSE(store.lastError().empty());
  ::chmod(file_.c_str(), 0600);
  EXPECT_EQ(ReadText(file_), "Windows Registry Editor Version 5.00\n");
}

TEST_F(SettingsStoreTest, AFolderInThePlaceOfTheFileIsLeftAlone) {
  fs::create_directory(file_);
  WriteText(file_ + "/keep", "mine");
  SettingsStore store(file_);
  EXPECT_FALSE(store.loadWarning().empty());
  EXPECT_FALSE(store.save());
  EXPECT_FALSE(store.lastError().empty());
  EXPECT_EQ(ReadText(file_ + "/keep"), "mine");
}

// A save that fails half-way (here: the file-size limit) leaves the old file and no debris.
TEST_F(SettingsStoreTest, FailedSaveLeavesTheOldFile) {
  {
    SettingsStore store(file_);
    store.writeString(kConfig, "old", "value");
    ASSERT_TRUE(store.save());
  }
  const std::string before = ReadText(file_);

  SettingsStore store(file_);
  store.writeString(kConfig, "big", std::string(100000, 'x'));
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 4096;
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  ::setrlimit(RLIMIT_FSIZE, &small);
  bool saved = store.save();
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(saved);
  EXPECT_NE(store.lastError().find(file_), std::string::npos) << store.lastError();
  EXPECT_EQ(ReadText(file_), before);
  EXPECT_EQ(FilesIn(dir_.path()), std::vector<std::string>{"registry.reg"});
  // The store keeps its values; a later save can succeed.
  EXPECT_TRUE(store.save()) << store.lastError();
  EXPECT_EQ(SettingsStore(file_).readString(kConfig, "big")->size(), 100000u);
}

TEST_F(SettingsStoreTest, SaveCreatesTheFolderAndWritesThroughALink) {
  const std::string nested = dir_.path() + "/a/b/registry.reg";
  SettingsStore store(nested);
  store.writeNumber(kConfig, "x", 7);
  ASSERT_TRUE(store.save()) << store.lastError();
  EXPECT_EQ(SettingsStore(nested).readNumber(kConfig, "x"), 7u);

  const std::string link = dir_.path() + "/link.reg";
  fs::create_symlink(nested, link);
  SettingsStore viaLink(link);
  viaLink.writeNumber(kConfig, "x", 8);
  ASSERT_TRUE(viaLink.save()) << viaLink.lastError();
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(SettingsStore(nested).readNumber(kConfig, "x"), 8u);
}

TEST(SettingsStoreDefaultPath, FollowsTheEnvironment) {
  {
    ScopedEnv own("TAMBER_CONFIG_HOME", "/t/own");
    ScopedEnv xdg("XDG_CONFIG_HOME", "/t/xdg");
    EXPECT_EQ(SettingsStore::DefaultFilePath(), "/t/own/registry.reg");
  }
  ScopedEnv own("TAMBER_CONFIG_HOME", "");
  ScopedEnv home("HOME", "/t/home");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/t/xdg");
    EXPECT_EQ(SettingsStore::DefaultFilePath(), "/t/xdg/tamber/registry.reg");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "");
    EXPECT_EQ(SettingsStore::DefaultFilePath(), "/t/home/.config/tamber/registry.reg");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/ignored");
    EXPECT_EQ(SettingsStore::DefaultFilePath(), "/t/home/.config/tamber/registry.reg");
  }
}

}  // namespace
