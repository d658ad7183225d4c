// The full name of a command-line path.

#include "mainwindow/LongPathName.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/Files.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

TEST(LongPathName, GivesTheCanonicalAbsolutePathOfWhatExists) {
  TempFolder temp;
  const std::string real = fs::canonical(temp.path()).string();
  fs::create_directories(temp.path() + "/docs/sub");
  ASSERT_TRUE(platform::WriteWholeFile(temp.path() + "/docs/a.j", "x"));
  fs::create_symlink(temp.path() + "/docs", temp.path() + "/link");

  EXPECT_EQ(LongPathName(temp.path() + "/docs/sub/../a.j"), real + "/docs/a.j");
  EXPECT_EQ(LongPathName(temp.path() + "/link/a.j"), real + "/docs/a.j");
  EXPECT_EQ(LongPathName(temp.path() + "/docs/sub/"), real + "/docs/sub/");
  EXPECT_EQ(LongPathName("/"), "/");

  const std::string before = fs::current_path().string();
  fs::current_path(temp.path() + "/docs");
  EXPECT_EQ(LongPathName("a.j"), real + "/docs/a.j");
  fs::current_path(before);
}

TEST(LongPathName, NamesWhatIsMissing) {
  TempFolder temp;
  try {
    LongPathName(temp.path() + "/missing.j");
    ADD_FAILURE() << "no failure";
  } catch (const PathFailure& failure) {
    EXPECT_EQ(failure.text, "File doesn't exist");
  }
  try {
    LongPathName(temp.path() + "/no folder/missing.j");
    ADD_FAILURE() << "no failure";
  } catch (const PathFailure& failure) {
    EXPECT_EQ(failure.text, "Directory doesn't exist");
  }
  EXPECT_THROW(LongPathName(""), PathFailure);
}
