// The archive information dialog: the values it shows for what the listing said, and its size.

#include "config/InfoDialog_unit.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <map>

#include "tests/support/LayoutCheck.h"
#include "tests/support/ModalDriver.h"

namespace {

std::map<std::string, QString> Labels(const TInfoDialog& dialog) {
  std::map<std::string, QString> out;
  for (QLabel* label : dialog.findChildren<QLabel*>())
    if (!label->objectName().isEmpty()) out[label->objectName().toStdString()] = label->text();
  return out;
}

}  // namespace

TEST(InfoValues, TotalBytesAreReadInGroupsOfThree) {
  EXPECT_EQ(TotalBytesValue("999"), 0) << "three characters or fewer";
  EXPECT_EQ(TotalBytesValue("1,024"), 1024);
  EXPECT_EQ(TotalBytesValue("12,345"), 12345);
  EXPECT_EQ(TotalBytesValue("1,234,567"), 1234567);
  EXPECT_EQ(TotalBytesValue(" 5,368,709,120 "), 5368709120) << "every group counts";
  EXPECT_EQ(TotalBytesValue("123456"), 123456);
  EXPECT_EQ(TotalBytesValue("?"), 0);
  EXPECT_EQ(TotalBytesValue("abcd"), 0);
  EXPECT_EQ(TotalBytesValue("1,x,5"), 1000005);
  EXPECT_EQ(TotalBytesValue("9,999,999,999,999,999,999,999"), INT64_MAX);
}

TEST(InfoValues, KilobytesAreGroupedAndTruncated) {
  EXPECT_EQ(KilobytesText(0, ","), "0 KB");
  EXPECT_EQ(KilobytesText(1023, ","), "0 KB");
  EXPECT_EQ(KilobytesText(1024, ","), "1 KB");
  EXPECT_EQ(KilobytesText(int64_t{5} << 30, ","), "5,242,880 KB") << "a 5 GB archive";
  EXPECT_EQ(KilobytesText(-1, ","), "0 KB");
  EXPECT_EQ(KilobytesText(int64_t{3} << 20, "."), "3.072 KB");
  EXPECT_EQ(TrimmedText("\t 33.3%\r\n"), "33.3%");
}

TEST(InfoDialog, ShowsEachFlagAndValue) {
  TInfoDialog dialog(nullptr);
  EXPECT_EQ(dialog.windowTitle(), "Tamber 2.23 Archive Information");
  dialog.FillInfo("backup.j", "AUTO_LOCK, RECOVERY RECORDS, SECURED, HIDDEN, ENCRYPTED", "Tamber developers", "2026-12-08 10:05:31",
                  "2026-12-08 10:00:00", " 33.3% ", "1,234,567", int64_t{5} << 30, " 12 ", true);
  auto shown = Labels(dialog);
  EXPECT_EQ(shown["ArchiveName"], "backup.j");
  EXPECT_EQ(shown["Creation"], "2026-12-08 10:00:00");
  EXPECT_EQ(shown["Modified"], "2026-12-08 10:05:31");
  EXPECT_EQ(shown["ArchiveComments"], "Present");
  EXPECT_EQ(shown["ArchiveLock"], "Present") << "AUTO_LOCK counts as a lock";
  EXPECT_EQ(shown["AutoLock"], "Yes");
  EXPECT_EQ(shown["Password"], "Absent");
  EXPECT_EQ(shown["ContentsHidden"], "Yes");
  EXPECT_EQ(shown["Encrypted"], "Yes");
  EXPECT_EQ(shown["RecoveryRecords"], "Yes");
  EXPECT_EQ(shown["NrFiles"], "12");
  EXPECT_EQ(shown["FileSize"], QString::fromStdString(KilobytesText(int64_t{5} << 30, QLocale().groupSeparator().toStdString())));
  EXPECT_EQ(shown["CompressedSize"], QString::fromStdString(KilobytesText(1234567, QLocale().groupSeparator().toStdString())));
  EXPECT_EQ(shown["Ratio"], "33.3%");
  EXPECT_EQ(shown["NrChapters"], "");
  EXPECT_EQ(shown["Label14"], "Yes");
  EXPECT_EQ(shown["Label19"], "Tamber developers");
  EXPECT_FALSE(dialog.findChild<QLabel*>("NrChapters")->isVisibleTo(&dialog));

  dialog.FillInfo("x.j", "", "", "Unknown", "Unknown", "1", "0", 0, "0", false);
  shown = Labels(dialog);
  for (const char* absent : {"ArchiveComments", "ArchiveLock", "Password"}) EXPECT_EQ(shown[absent], "Absent");
  for (const char* no : {"AutoLock", "ContentsHidden", "Encrypted", "RecoveryRecords", "Label14"})
    EXPECT_EQ(shown[no], "No");
  EXPECT_EQ(shown["FileSize"], "0 KB");
  dialog.FillInfo("x.j", "LOCKED, PROTECTED", "", "", "", "", "", 0, "", false);
  shown = Labels(dialog);
  EXPECT_EQ(shown["ArchiveLock"], "Present");
  EXPECT_EQ(shown["AutoLock"], "No");
  EXPECT_EQ(shown["Password"], "Present");
}

TEST(InfoDialog, ALongNameIsShortenedButKeptWhole) {
  TInfoDialog dialog(nullptr);
  const std::string name(300, 'n');
  dialog.FillInfo(name + ".j", "", "", "", "", "", "", 0, "", false);
  QLabel* label = dialog.findChild<QLabel*>("ArchiveName");
  EXPECT_LT(label->text().size(), 100);
  EXPECT_EQ(label->toolTip().toStdString(), name + ".j");
  EXPECT_EQ(label->accessibleDescription().toStdString(), name + ".j");
  EXPECT_LT(dialog.width(), 1000);
}

TEST(InfoDialog, IsFixedAtLeastAtItsSizeAndClosesWithOk) {
  TInfoDialog dialog(nullptr);
  EXPECT_GE(dialog.width(), 293);
  EXPECT_GE(dialog.height(), 257);
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  bool closed = false;
  OnNextModal<TInfoDialog>([&](TInfoDialog& shown) {
    QPushButton* ok = shown.findChild<QPushButton*>("Button1");
    EXPECT_TRUE(ok->isDefault());
    ok->click();
    closed = true;
  });
  dialog.ShowInfo("a.j", "", "", "", "", -1, "", "", 0, "", false);
  EXPECT_TRUE(closed);
}

TEST(InfoDialog, NothingIsClippedAtALargerFont) {
  testsupport::ScopedFontScale bigger(1.5);
  TInfoDialog dialog(nullptr);
  dialog.FillInfo("backup of the week.j", "LOCKED, RECOVERY RECORDS", "signed by the Tamber developers",
                  "2026-12-08 10:05:31", "2026-12-08 10:00:00", "33.3%", "1,234,567,890", int64_t{5} << 30,
                  "1000000", true);
  testsupport::ExpectLaidOutCleanly(dialog);
}
