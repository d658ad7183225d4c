// The window-free pieces of the Extract, Delete and Copy dialogs.

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "dialogs/DriveBox.h"
#include "dialogs/MemoText.h"
#include "dialogs/VolumeSize.h"
#include "driver/TJarExec_unit.h"
#include "tests/support/ScriptedPrompter.h"

TEST(DriveBoxVolumes, SystemMountsAreLeftOutAndTheLongestRootHoldsAPath) {
  const std::vector<MountedVolume> volumes = UserVolumes({{"/home", "home"},
                                                          {"/run/user/1000", "/run/user/1000"},
                                                          {"/", "/"},
                                                          {"/dev/shm", "/dev/shm"},
                                                          {"/run/media/me/USB", "USB"},
                                                          {"/sys/fs/cgroup", "cgroup"},
                                                          {"/home", "home"},
                                                          {"/media/backup", "BACKUP"},
                                                          {"/runner", "runner"}});
  std::vector<std::string> roots;
  for (const MountedVolume& v : volumes) roots.push_back(v.rootPath);
  EXPECT_EQ(roots, (std::vector<std::string>{"/", "/home", "/media/backup", "/run/media/me/USB", "/runner"}));

  EXPECT_EQ(VolumeHolding(volumes, "/home/me/docs"), 1);
  EXPECT_EQ(VolumeHolding(volumes, "/home"), 1);
  EXPECT_EQ(VolumeHolding(volumes, "/homework"), 0);  // not below /home
  EXPECT_EQ(VolumeHolding(volumes, "/run/media/me/USB/x"), 3);
  EXPECT_EQ(VolumeHolding(volumes, "/tmp"), 0);
  EXPECT_EQ(VolumeHolding(volumes, "relative/path"), -1);
  EXPECT_EQ(VolumeHolding({}, "/tmp"), -1);

  EXPECT_EQ(VolumeCaption({"/media/backup", "BACKUP"}), "/media/backup [BACKUP]");
  EXPECT_EQ(VolumeCaption({"/", "/"}), "/");
  EXPECT_EQ(VolumeCaption({"/", ""}), "/");
}

TEST(DriveBoxVolumes, TheBoxReportsOnlyPicksAndFollowsFolders) {
  DriveBox box(nullptr, {{"/", "/"}, {"/media/backup", "BACKUP"}});
  EXPECT_EQ(box.count(), 2);
  EXPECT_EQ(box.itemText(1), "/media/backup [BACKUP]");
  QSignalSpy picks(&box, &DriveBox::driveChosen);
  box.ShowFolder("/media/backup/2024");
  EXPECT_EQ(box.currentIndex(), 1);
  EXPECT_EQ(box.rootPath(), "/media/backup");
  box.ShowFolder("not a path");  // stays
  EXPECT_EQ(box.currentIndex(), 1);
  EXPECT_EQ(picks.count(), 0);
  emit box.activated(0);
  ASSERT_EQ(picks.count(), 1);
  EXPECT_EQ(picks.at(0).at(0).toString(), "/");
  EXPECT_FALSE(box.accessibleName().isEmpty());
}

TEST(DriveBoxVolumes, MountedVolumesStartAtTheRoot) {
  const std::vector<MountedVolume> volumes = MountedVolumes();
  ASSERT_FALSE(volumes.empty());
  EXPECT_EQ(volumes.front().rootPath, "/");
  for (const MountedVolume& v : volumes) {
    EXPECT_FALSE(v.rootPath.starts_with("/proc")) << v.rootPath;
    EXPECT_FALSE(v.rootPath.starts_with("/sys")) << v.rootPath;
  }
  EXPECT_EQ(VolumeHolding({{"/", "/"}, {"/home", "home"}, {"/home/me/stick", "s"}}, "/home/me/stick/x"), 2);
  EXPECT_EQ(VolumeHolding({{"/", "/"}, {"/home", "home"}}, "/homework"), 0);
}

TEST(MemoLines, NamesLoseSurroundingQuotesAndAQuoteInsideIsRefused) {
  NameLines lines = ReadNameLines("a.txt\r\n\n\"with blanks.txt\"\n\"\"\n  \n*.bak");
  EXPECT_EQ(lines.names, (std::vector<std::string>{"a.txt", "with blanks.txt", "*.bak"}));
  EXPECT_FALSE(lines.refused);

  for (const char* bad : {"x\" \"*", "\"", "\"open", "a\"b\""}) {
    lines = ReadNameLines(QString("ok\n") + bad + "\nlater");
    ASSERT_TRUE(lines.refused) << bad;
    EXPECT_EQ(*lines.refused, bad);
  }
  EXPECT_EQ(NonEmptyLines(QString::fromUtf8("\xC3\xA4\n\nb")), (std::vector<std::string>{"\xC3\xA4", "b"}));
}

TEST(MemoLines, Utf8PrefixNeverSplitsACharacter) {
  EXPECT_EQ(Utf8Prefix("abc", 2), "ab");
  EXPECT_EQ(Utf8Prefix(QString::fromUtf8("a\xC3\xA4"), 2), "a");     // ä takes two bytes
  EXPECT_EQ(Utf8Prefix(QString::fromUtf8("\xE2\x82\xAC"), 2), "");    // € takes three
  EXPECT_EQ(Utf8Prefix(QString::fromUtf8("\xF0\x9F\x98\x80z"), 4), QString::fromUtf8("\xF0\x9F\x98\x80"));
  EXPECT_EQ(Utf8Prefix(QString::fromUtf8("\xF0\x9F\x98\x80z"), 3), "");
  EXPECT_EQ(Utf8Prefix("", 10), "");
}

TEST(CopyRules, VolumeSizeTableAsTheAddDialogs) {
  testsupport::ScriptedPrompter prompter;
  TJarSettings settings;
  TJar jar(settings, prompter);
  ASSERT_EQ(VolumeSizeItems().size(), 6);
  const char* sizes[] = {"360", "720", "1440", "2880k", "100431870"};
  for (int item = 1; item <= 5; ++item) {
    jar.volumeFlags = TJar::kVolumeAutoSize | TJar::kVolumeBeep;
    ApplyVolumeSize(jar, item);
    EXPECT_EQ(jar.volumeSize, sizes[item - 1]);
    EXPECT_EQ(jar.volumeFlags, TJar::kVolumeBeep) << item;
  }
  jar.volumeFlags = TJar::kVolumeInhibit;
  ApplyVolumeSize(jar, 0);
  EXPECT_EQ(jar.volumeSize, "100431870");
  EXPECT_EQ(jar.volumeFlags, TJar::kVolumeInhibit | TJar::kVolumeAutoSize);
  ApplyVolumeSize(jar, -1);
  EXPECT_EQ(jar.volumeFlags, TJar::kVolumeInhibit | TJar::kVolumeAutoSize);
  EXPECT_EQ(jar.volumeSize, "100431870");
}
