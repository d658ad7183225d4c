// The names of a volume set's further volumes, and a free name for a whole set.

#include <gtest/gtest.h>

#include "mainwindow/VolumeSet.h"
#include "platform/Files.h"
#include "tests/support/TempFolder.h"

using V = std::vector<std::string>;

TEST(VolumeSetTest, FurtherVolumesAreTheNumberedNamesUpToTheFirstGap) {
  EXPECT_EQ(VolumeSuffix(1), "01");
  EXPECT_EQ(VolumeSuffix(99), "99");
  EXPECT_EQ(VolumeSuffix(100), "100");

  TempFolder folder;
  const std::string first = folder.path() + "/set.j";
  EXPECT_EQ(FurtherVolumeSuffixes(first), V{}) << "no set, not even its first";
  for (const char* name : {"set.j", "set.j01", "set.j02", "set.j04", "set.j1", "set.j001"})
    ASSERT_TRUE(platform::WriteWholeFile(folder.path() + "/" + name, "v"));
  EXPECT_EQ(FurtherVolumeSuffixes(first), (V{"01", "02"}));
  EXPECT_EQ(FurtherVolumeSuffixes(folder.path() + "/other.j"), V{});
  EXPECT_EQ(FurtherVolumeSuffixes(""), V{});
}

TEST(VolumeSetTest, AFreeSetNameIsFreeForEveryVolume) {
  TempFolder folder;
  const std::string wanted = folder.path() + "/set.j";
  EXPECT_EQ(FreeSetName(wanted, {"01", "02"}), wanted);
  // A later volume's name is taken, then the first's of the next number.
  ASSERT_TRUE(platform::WriteWholeFile(wanted + "02", "stray"));
  ASSERT_TRUE(platform::WriteWholeFile(folder.path() + "/set (2).j", "other"));
  EXPECT_EQ(FreeSetName(wanted, {"01", "02"}), folder.path() + "/set (3).j");
  EXPECT_EQ(FreeSetName(wanted, {"01"}), wanted);
  EXPECT_EQ(FreeSetName(folder.path() + "/plain", {"01"}), folder.path() + "/plain");
}
