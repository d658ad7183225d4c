#include "config/AssociationFiles.h"

#include <gtest/gtest.h>

using namespace association;

TEST(DesktopEntryText, ExecQuotesAndEscapesThePathWhereTheRulesRequire) {
  EXPECT_EQ(DesktopExecValue("/usr/bin/tamber"), "/usr/bin/tamber %f");
  EXPECT_EQ(DesktopExecValue("/opt/my apps/tamber"), "\"/opt/my apps/tamber\" %f");
  EXPECT_EQ(DesktopExecValue("/opt/100%/tamber"), "/opt/100%%/tamber %f");
  // Inside quotes " ` $ \ take a backslash; the value's own escaping then doubles every backslash.
  EXPECT_EQ(DesktopExecValue("/o/a\"b`c$d\\e/t"), "\"/o/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e/t\" %f");
  const std::string entry = DesktopEntryText("/opt/my apps/tamber");
  EXPECT_EQ(DesktopEntryValue(entry, "Exec"), DesktopExecValue("/opt/my apps/tamber"));
  EXPECT_EQ(DesktopEntryValue(entry, "MimeType"), std::string(kMimeType) + ";");
  EXPECT_EQ(DesktopEntryValue(entry, "Icon"), "tamber");
}

TEST(DesktopEntryText, ProgramPathsThatCannotBeWritten) {
  EXPECT_TRUE(IsUsableProgramPath("/opt/Tämber/tamber"));
  EXPECT_FALSE(IsUsableProgramPath(""));
  EXPECT_FALSE(IsUsableProgramPath("tamber"));
  EXPECT_FALSE(IsUsableProgramPath("/opt/two\nlines/tamber"));
  EXPECT_FALSE(IsUsableProgramPath("/opt/\xff/tamber"));
  EXPECT_FALSE(IsUsableProgramPath("/opt/\xc3"));
}

TEST(DesktopEntryText, ValuesAreReadFromTheEntryGroupOnly) {
  const std::string entry =
      "# Exec=/not/this\r\n[Desktop Action New]\r\nExec=/not/this either\r\n"
      "[Desktop Entry]\r\nName=Tamber\r\nExec = /usr/bin/tamber %f\r\n";
  EXPECT_EQ(DesktopEntryValue(entry, "Exec"), "/usr/bin/tamber %f");
  EXPECT_EQ(DesktopEntryValue(entry, "Icon"), std::nullopt);
  EXPECT_EQ(DesktopEntryValue("\xff\xfe\n=\n[Desktop Entry\nExec", "Exec"), std::nullopt);
}

TEST(MimeAppsList, DefaultIsTheFirstApplicationOfTheDefaultsGroup) {
  const std::string list =
      "[Added Associations]\napplication/x-jar32-archive=added.desktop;\n"
      "[Default Applications]\ntext/plain=editor.desktop\napplication/x-jar32-archive= ;first.desktop;second.desktop;\n";
  EXPECT_EQ(DefaultApplication(list, kMimeType), "first.desktop");
  EXPECT_EQ(DefaultApplication(list, "text/plain"), "editor.desktop");
  EXPECT_EQ(DefaultApplication(list, "image/png"), std::nullopt);
  EXPECT_EQ(DefaultApplication("[Added Associations]\napplication/x-jar32-archive=added.desktop;\n", kMimeType),
            std::nullopt);
}

TEST(MimeAppsList, SettingTheDefaultChangesOnlyTheTypesLine) {
  const std::string before =
      "# kept as it is\r\n[Default Applications]\r\ntext/plain=editor.desktop\r\n"
      "application/x-jar32-archive=other.desktop;\r\nimage/png=viewer.desktop\r\n"
      "application/x-jar32-archive=again.desktop\r\n\r\n[Added Associations]\r\n"
      "application/x-jar32-archive=other.desktop;\r\n";
  EXPECT_EQ(WithDefaultApplication(before, kMimeType, kDesktopId),
            "# kept as it is\r\n[Default Applications]\r\ntext/plain=editor.desktop\r\n"
            "application/x-jar32-archive=tamber.desktop\r\nimage/png=viewer.desktop\r\n"
            "\r\n[Added Associations]\r\napplication/x-jar32-archive=other.desktop;\r\n");
}

TEST(MimeAppsList, ANewDefaultGoesAfterTheGroupsLastEntry) {
  EXPECT_EQ(WithDefaultApplication("", kMimeType, kDesktopId),
            "[Default Applications]\napplication/x-jar32-archive=tamber.desktop\n");
  EXPECT_EQ(WithDefaultApplication("[Default Applications]\ntext/plain=e.desktop\n\n[Other]\nx=y", kMimeType, kDesktopId),
            "[Default Applications]\ntext/plain=e.desktop\napplication/x-jar32-archive=tamber.desktop\n\n[Other]\nx=y");
  EXPECT_EQ(WithDefaultApplication("[Default Applications]", kMimeType, kDesktopId),
            "[Default Applications]\napplication/x-jar32-archive=tamber.desktop\n");
  EXPECT_EQ(WithDefaultApplication("[Added Associations]\nx/y=z.desktop", kMimeType, kDesktopId),
            "[Added Associations]\nx/y=z.desktop\n\n[Default Applications]\napplication/x-jar32-archive=tamber.desktop\n");
}

TEST(MimeAppsList, RemovingTheDefaultLeavesEverythingElse) {
  const std::string before =
      "[Default Applications]\r\napplication/x-jar32-archive=someone.desktop\r\ntext/plain=e.desktop\r\n"
      "[Added Associations]\r\napplication/x-jar32-archive=someone.desktop;\r\n";
  EXPECT_EQ(WithoutDefaultApplication(before, kMimeType),
            "[Default Applications]\r\ntext/plain=e.desktop\r\n"
            "[Added Associations]\r\napplication/x-jar32-archive=someone.desktop;\r\n");
  const char raw[] = "\xff\xfe binary \0 junk\n[x\n=\n";
  const std::string foreign(raw, sizeof raw - 1);
  EXPECT_EQ(WithoutDefaultApplication(foreign, kMimeType), foreign);
}
