// The details of a failed run: no password ever shows, the codes are explained, long files are cut.
#include "driver/RunDetails.h"

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "tests/support/TempFolder.h"

using rundetails::MaskPasswords;

TEST(RunDetails, PasswordSwitchesAndKnownPasswordsAreMasked) {
  EXPECT_EQ(MaskPasswords("a \"x.j\" -g\"se cret\" -b- -m-", {}), "a \"x.j\" -g\"***\" -b- -m-");
  EXPECT_EQ(MaskPasswords("y \"x.j\" -g\"old\" -jg\"new\" -hg0", {}), "y \"x.j\" -g\"***\" -jg\"***\" -hg0");
  EXPECT_EQ(MaskPasswords("rh -y \"cfg\" -gplain", {}), "rh -y \"cfg\" -g***");
  EXPECT_EQ(MaskPasswords("l \"x.j\" -g- -jg -b-\n", {}), "l \"x.j\" -g- -jg -b-\n") << "no password given";
  EXPECT_EQ(MaskPasswords("a \"x-gone.j\" -x\"-gx\"", {}), "a \"x-gone.j\" -x\"-gx\"") << "only switches";
  // A password echoed anywhere else, also more than once.
  EXPECT_EQ(MaskPasswords("wrong key pw1 for pw1", {"pw1", ""}), "wrong key *** for ***");
  EXPECT_EQ(MaskPasswords("-g\"unclosed", {}), "-g\"***\"");
}

TEST(RunDetails, TextNamesTheCodeAndKeepsTheTailOfLongFiles) {
  const std::string details = rundetails::DetailsText("/bin/jar32.exe @/tmp/args", "a \"x.j\" -g\"***\"", 5, "", "out");
  EXPECT_NE(details.find("Command: /bin/jar32.exe @/tmp/args\n"), std::string::npos);
  EXPECT_NE(details.find("Argument file: a \"x.j\" -g\"***\"\n"), std::string::npos);
  EXPECT_NE(details.find("Exit code: 5 (disk full or write error)"), std::string::npos);
  EXPECT_NE(details.find("Error output:\n(none)\n"), std::string::npos);
  EXPECT_NE(details.find("Output:\nout\n"), std::string::npos);
  EXPECT_EQ(rundetails::ExitCodeMeaning(-1), "the archiver could not be started");
  EXPECT_EQ(rundetails::ExitCodeMeaning(42), "unknown exit code");

  TempFolder folder;
  const std::string file = folder.path() + "/out";
  ASSERT_TRUE(platform::WriteWholeFile(file, std::string(100, 'a') + "\xC3\xA9" + "end"));
  EXPECT_EQ(rundetails::TailOfFile(file, 4), "[...]\nend") << "never half a character";
  EXPECT_EQ(rundetails::TailOfFile(file, 1000).size(), 105u);
  EXPECT_EQ(rundetails::TailOfFile(folder.path() + "/missing", 10), "");
}
