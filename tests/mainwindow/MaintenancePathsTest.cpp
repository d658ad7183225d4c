// Where the rebuilt archive and the archiver's configuration file go.

#include "mainwindow/MaintenancePaths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Files.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;
using platform::PathStyle;

TEST(RecoveryTarget, IsBesideTheDamagedArchive) {
  EXPECT_EQ(RecoveryTarget("/home/ann/old backups/week 1.j", PathStyle::Posix), "/home/ann/old backups/$recover.j");
  EXPECT_EQ(RecoveryTarget("/week.j", PathStyle::Posix), "/$recover.j");
  EXPECT_EQ(RecoveryTarget("c:\\backups\\week.j", PathStyle::Windows), "c:\\backups\\$recover.j");
  EXPECT_EQ(RecoveryTarget("c:week.j", PathStyle::Windows), "c:$recover.j");
}

TEST(JarConfigFolder, IsTheFolderOfTheProgramAsItIsFoundAndStarted) {
  TempFolder temp;
  const std::string real = fs::canonical(temp.path()).string();
  fs::create_directories(temp.path() + "/bin");
  fs::create_directories(temp.path() + "/opt/archiver");
  const std::string program = temp.path() + "/opt/archiver/test-archiver.exe";
  ASSERT_TRUE(platform::WriteWholeFile(program, "#!/bin/sh\n"));
  fs::permissions(program, fs::perms::owner_all);
  fs::create_symlink(program, temp.path() + "/bin/test-archiver.exe");

  EXPECT_EQ(JarConfigFolder(program), real + "/opt/archiver");
  // A link is followed: the archiver reads the configuration beside the real program.
  EXPECT_EQ(JarConfigFolder(temp.path() + "/bin/test-archiver.exe"), real + "/opt/archiver");
  {
    ScopedEnv path("PATH", temp.path() + "/nothing here:" + temp.path() + "/bin");
    EXPECT_EQ(JarConfigFolder("test-archiver.exe"), real + "/opt/archiver");
    EXPECT_EQ(JarConfigFolder("no-such-archiver.exe"), "") << "a bare name that is not found";
  }
  EXPECT_EQ(JarConfigFolder(temp.path() + "/gone/jar32.exe"), temp.path() + "/gone");
}
