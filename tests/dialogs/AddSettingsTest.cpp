// Add-settings files without a window: the layout of a new file, keys updated where they stand,
// the reading defaults, and files that are damaged or hostile.

#include "dialogs/AddSettings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/Files.h"
#include "tests/support/TempFolder.h"

using addsettings::ControlKind;
using addsettings::IniText;
using addsettings::Reader;
using addsettings::Snapshot;

namespace {

Snapshot Sample() {
  Snapshot s;
  s.folder = "/home/user/src";
  s.drive = "/home";
  s.controls = {{ControlKind::ComboBox, "CO_MultipleDiskSize", 3, "", {}},
                {ControlKind::ComboBox, "CO_Action", 3, "", {}},
                {ControlKind::Edit, "ED_Subdirectory", 0, "\\", {}},
                {ControlKind::Edit, "CO_Password", 0, "", {}},
                {ControlKind::CheckBox, "CB_SpanMultipleDisk", 1, "", {}},
                {ControlKind::CheckBox, "CB_Inhibit", 0, "", {}},
                {ControlKind::Field, "DE_FromDirectory", 0, "/tmp/in", {}},
                {ControlKind::Memo, "ME_Wildcards", 0, "", {"*.txt", "docs/*"}}};
  return s;
}

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 0777;
}

}  // namespace

TEST(AddSettingsFile, NewFileHasTheSectionsInTheOrderOfFirstWrite) {
  EXPECT_EQ(addsettings::SaveText("", Sample()),
            "[DIRECTORY]\n"
            "FilesListView1=/home/user/src\n"
            "RzDriveComboBox1=/home\n"
            "[COMBOBOXES]\n"
            "CO_MultipleDiskSize=3\n"
            "CO_Action=3\n"
            "[EDITBOXES]\n"
            "ED_Subdirectory=\\\n"
            "CO_Password=\n"
            "[CHECKBOXES]\n"
            "CB_SpanMultipleDisk=1\n"
            "CB_Inhibit=0\n"
            "[EDITS]\n"
            "DE_FromDirectory=/tmp/in\n"
            "[MEMO]\n"
            "ME_Wildcards_Count=2\n"
            "ME_Wildcards_0=*.txt\n"
            "ME_Wildcards_1=docs/*\n");
}

TEST(AddSettingsFile, SavingOverAFileUpdatesKeysInPlaceAndKeepsEverythingElse) {
  const std::string existing =
      "; written by hand\r\n"
      "[MEMO]\r\n"
      "ME_Wildcards_Count=4\r\n"
      "ME_Wildcards_0=old\r\n"
      "ME_Wildcards_1=old\r\n"
      "ME_Wildcards_2=third\r\n"
      "ME_Wildcards_3=fourth\r\n"
      "\r\n"
      "[combobOXES]\r\n"
      "CO_Action = 0\r\n"
      "CO_Other=7\r\n"
      "\r\n"
      "[Mine]\r\n"
      "keep=this\r\n";
  EXPECT_EQ(addsettings::SaveText(existing, Sample()),
            "; written by hand\r\n"
            "[MEMO]\r\n"
            "ME_Wildcards_Count=2\r\n"
            "ME_Wildcards_0=*.txt\r\n"
            "ME_Wildcards_1=docs/*\r\n"
            "ME_Wildcards_2=third\r\n"
            "ME_Wildcards_3=fourth\r\n"
            "\r\n"
            "[combobOXES]\r\n"
            "CO_Action=3\r\n"
            "CO_Other=7\r\n"
            "CO_MultipleDiskSize=3\r\n"
            "\r\n"
            "[Mine]\r\n"
            "keep=this\r\n"
            "[DIRECTORY]\r\n"
            "FilesListView1=/home/user/src\r\n"
            "RzDriveComboBox1=/home\r\n"
            "[EDITBOXES]\r\n"
            "ED_Subdirectory=\\\r\n"
            "CO_Password=\r\n"
            "[CHECKBOXES]\r\n"
            "CB_SpanMultipleDisk=1\r\n"
            "CB_Inhibit=0\r\n"
            "[EDITS]\r\n"
            "DE_FromDirectory=/tmp/in\r\n");
}

TEST(AddSettingsFile, ReadingUsesTheDefaultsForWhatIsMissingOrNoNumber) {
  const Reader reader(
      "[CHECKBOXES]\nCB_A=1\nCB_B=0\nCB_C=-1\nCB_D=7\nCB_E=yes\nCB_F=\nCB_G=99999999999\n"
      "[COMBOBOXES]\nCO_A=2\nCO_B=-1\nCO_C=5\nCO_D=-3\nCO_E= 1 \nCO_F=1x\n"
      "[EDITBOXES]\nED_A=  text with blanks  \nED_B=\nED_C=\"  quoted  \"\nED_D=a\x01\x7f" "b\n"
      "[MEMO]\nME_A_Count=0\nME_A_0=x\nME_B_Count=3\nME_B_0=one\nME_B_2=three\n");
  EXPECT_EQ(reader.CheckBox("CB_A"), true);
  EXPECT_EQ(reader.CheckBox("cb_b"), false);
  EXPECT_EQ(reader.CheckBox("CB_C"), std::nullopt);
  EXPECT_EQ(reader.CheckBox("CB_D"), true);
  for (const char* absent : {"CB_E", "CB_F", "CB_G", "CB_Missing"}) EXPECT_EQ(reader.CheckBox(absent), std::nullopt) << absent;
  EXPECT_EQ(reader.ComboIndex("CO_A", 3), 2);
  EXPECT_EQ(reader.ComboIndex("CO_E", 3), 1);
  for (const char* absent : {"CO_B", "CO_C", "CO_D", "CO_F", "CO_Missing"})
    EXPECT_EQ(reader.ComboIndex(absent, 3), std::nullopt) << absent;
  EXPECT_EQ(reader.Text(ControlKind::Edit, "ED_A"), "text with blanks");
  EXPECT_EQ(reader.Text(ControlKind::Edit, "ED_B"), std::nullopt);
  EXPECT_EQ(reader.Text(ControlKind::Edit, "ED_C"), "  quoted  ");
  EXPECT_EQ(reader.Text(ControlKind::Edit, "ED_D"), "ab");
  EXPECT_EQ(reader.Text(ControlKind::Field, "ED_A"), std::nullopt);  // another section
  EXPECT_EQ(reader.MemoLines("ME_A"), std::nullopt);
  EXPECT_EQ(reader.MemoLines("ME_B"), (std::vector<std::string>{"one", "", "three"}));
  EXPECT_EQ(reader.MemoLines("ME_Missing"), std::nullopt);
  EXPECT_EQ(reader.Folder(), "");
  EXPECT_EQ(reader.Drive(), "");
}

TEST(AddSettingsFile, ValuesComeBackAsTheyWereWritten) {
  IniText ini;
  const std::vector<std::string> values = {"  leading and trailing  ", "\"quoted\"", "\"", "a=b=c", "semi;colon",
                                           "[not a section]", "", "\t"};
  for (size_t i = 0; i < values.size(); ++i) ini.Write("S", "K" + std::to_string(i), values[i]);
  ini.Write("S", "Broken", "two\nlines\r");
  const IniText back(ini.Text());
  for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(back.Read("s", "k" + std::to_string(i)), values[i]) << i;
  EXPECT_EQ(back.Read("S", "Broken"), "two lines ");
  EXPECT_EQ(back.Keys("S").size(), values.size() + 1);
}

TEST(AddSettingsFile, DamagedTextLoadsWhatItCan) {
  // Binary bytes, a header without its bracket, duplicated sections and keys, a 1 MB line and a
  // truncated last line.
  std::string text = std::string("\x00\xff\xfe[junk\n", 9) + "[CHECKBOXES]\nCB_A=1\nCB_A=0\n[EDITBOXES]\nED_Long=" +
                     std::string(1 << 20, 'x') + "\n[CHECKBOXES]\nCB_B=1\n[MEMO]\nME_A_Count=2\nME_A_0=fir";
  const Reader reader(text);
  EXPECT_EQ(reader.CheckBox("CB_A"), true);
  EXPECT_EQ(reader.CheckBox("CB_B"), std::nullopt);  // only the first of two sections counts
  EXPECT_EQ(reader.Text(ControlKind::Edit, "ED_Long")->size(), size_t{1} << 20);
  EXPECT_EQ(reader.MemoLines("ME_A"), (std::vector<std::string>{"fir"}));
  // Saving into it keeps its bytes and ends the truncated line.
  const std::string saved = addsettings::SaveText(text, Snapshot{});
  EXPECT_EQ(saved.substr(0, text.size()), text);
}

TEST(AddSettingsFile, AHugeMemoCountCostsOnlyWhatTheFileHolds) {
  const Reader reader("[MEMO]\nME_A_Count=1000000000\nME_A_0=a\nME_A_1=b\nME_A_99999999999999999999=c\n");
  EXPECT_EQ(reader.MemoLines("ME_A"), (std::vector<std::string>{"a", "b"}));
}

TEST(AddSettingsFile, ManyKeysAndSectionsLoadQuickly) {
  // Fifty thousand memo lines and as many sections: every read is a lookup, not a search.
  std::string text = "[MEMO]\nME_A_Count=50000\n";
  for (int i = 0; i < 50000; ++i) text += "ME_A_" + std::to_string(i) + "=line\n";
  for (int i = 0; i < 50000; ++i) text += "[S" + std::to_string(i) + "]\n";
  const Reader reader(text);
  EXPECT_EQ(reader.MemoLines("ME_A")->size(), 50000u);
}

TEST(AddSettingsFile, SavedFilesKeepTheirModeAndOnesWithAPasswordStartPrivate) {
  TempFolder folder;
  Snapshot plain = Sample();
  Snapshot secret = Sample();
  secret.holdsSecret = true;
  std::string why;

  const std::string withPassword = folder.path() + "/secret.tbs";
  ASSERT_TRUE(addsettings::Save(withPassword, secret, why)) << why;
  EXPECT_EQ(ModeOf(withPassword), 0600u);

  const std::string shared = folder.path() + "/shared.tbs";
  ASSERT_TRUE(platform::WriteWholeFile(shared, "[Mine]\nkeep=this\n"));
  ::chmod(shared.c_str(), 0644);
  ASSERT_TRUE(addsettings::Save(shared, secret, why)) << why;
  EXPECT_EQ(ModeOf(shared), 0644u);
  std::string content;
  ASSERT_TRUE(platform::ReadWholeFile(shared, content));
  EXPECT_EQ(content.rfind("[Mine]\nkeep=this\n[DIRECTORY]\n", 0), 0u) << content;

  // A link is followed: the file it names gets the settings and the link stays a link.
  const std::string link = folder.path() + "/link.tbs";
  std::filesystem::create_symlink(shared, link);
  ASSERT_TRUE(addsettings::Save(link, plain, why)) << why;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ModeOf(shared), 0644u);
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    EXPECT_EQ(entry.path().string().find(".new-"), std::string::npos) << entry.path();
}

TEST(AddSettingsFile, FailuresAreReportedAndLeaveTheFileAsItWas) {
  TempFolder folder;
  std::string why;
  EXPECT_FALSE(addsettings::Save(folder.path() + "/missing/x.tbs", Sample(), why));
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(addsettings::Save(folder.path(), Sample(), why));  // a folder

  Reader reader;
  EXPECT_FALSE(reader.Open(folder.path() + "/none.tbs"));
  EXPECT_FALSE(reader.Open(folder.path()));
  EXPECT_FALSE(reader.Open("/dev/zero"));
  const std::string big = folder.path() + "/big.tbs";
  ASSERT_TRUE(platform::WriteWholeFile(big, "[A]\n"));
  std::filesystem::resize_file(big, addsettings::kMaxFileSize + 1);
  EXPECT_FALSE(reader.Open(big));
  EXPECT_FALSE(addsettings::Save(big, Sample(), why));
  EXPECT_EQ(std::filesystem::file_size(big), static_cast<uintmax_t>(addsettings::kMaxFileSize + 1));
}
