#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "tests/driver/JarTestFixture.h"

using platform::BoxKind;
using platform::ButtonNo;
using platform::ButtonYes;
using Shown = std::vector<std::pair<std::string, std::string>>;

namespace {

class ExitStatusTest : public JarTest {
 protected:
  ExitStatusTest() {
    jar.dialogs = &dialogs;
    dialogs.settingsToChange = &settings;
    jar.errorFile = jar.MakeTempFileName("ErrorFile");
    jar.outputFile = jar.MakeTempFileName("OutputFile");
  }
  bool Judge(int32_t code) {
    jar.exitCode = code;
    return jar.CheckExitStatus();
  }
  void WriteErrors(const std::string& text) { jar.WriteTextFile(jar.errorFile, text); }

  FakeJarDialogs dialogs;
};

const unsigned kYesNo = ButtonYes | ButtonNo;

}  // namespace

TEST_F(ExitStatusTest, SuccessCodesSayNothing) {
  for (int32_t code : {0, 4, 12, 50, -7, 259}) EXPECT_TRUE(Judge(code)) << code;
}

TEST_F(ExitStatusTest, WarningDependsOnTheConsole) {
  jar.WriteTextFile(jar.outputFile, "listing");
  prompter.expect(BoxKind::Error, "A warning was issued, do you want to see the Jar32 output ?", ButtonNo, kYesNo);
  EXPECT_TRUE(Judge(1));
  EXPECT_TRUE(dialogs.shown.empty());
  prompter.expect(BoxKind::Error, "A warning was issued, do you want to see the Jar32 output ?", ButtonYes, kYesNo);
  EXPECT_TRUE(Judge(1));
  EXPECT_EQ(dialogs.shown, (Shown{{" - View JAR output", jar.outputFile}}));

  settings.showDosbox = true;
  prompter.expect(BoxKind::Error, "A warning was issued by Jar");
  EXPECT_FALSE(Judge(1));
}

TEST_F(ExitStatusTest, QuestionsShowTheErrorFileOnlyWhenItHoldsSomething) {
  const std::pair<int32_t, const char*> questions[] = {
      {2, "A fatal error has happened !\nDo you want to see the Jar32 output ?"},
      {3, "CRC error!\nDo you want to see the Jar32 output ?"},
      {6, "Cannot open file!\nDo you want to see the Jar32 output ?"},
      {7, "Bad parameters !\nDo you want to see the Jar32 output ?"},
  };
  for (auto [code, text] : questions) {
    prompter.expect(BoxKind::Error, text, ButtonYes, kYesNo);
    EXPECT_FALSE(Judge(code));
  }
  EXPECT_TRUE(dialogs.shown.empty());  // the error file is empty
  WriteErrors("something went wrong in a long way that fills more than one hundred bytes of error output, surely");
  for (auto [code, text] : questions) {
    prompter.expect(BoxKind::Error, text, ButtonYes, kYesNo);
    EXPECT_FALSE(Judge(code));
  }
  ASSERT_EQ(dialogs.shown.size(), 4u);
  EXPECT_EQ(dialogs.shown[0], std::make_pair(std::string(" - View JAR error output"), jar.errorFile));
}

TEST_F(ExitStatusTest, FailuresWithTheConsoleShown) {
  settings.showDosbox = true;
  const std::pair<int32_t, std::string> boxes[] = {
      {2, "A fatal error has happened !"},
      {3, "CRC error!"},
      {6, "Cannot open file!"},
      {7, "Bad parameters !\nTamber programmer probably made an error ;-)"},
      {5, "Disk full or write error"},
      {8, "There's not enough memory !"},
      {9, "/data/x.j is not a JAR archive !"},
      {10, "Internal error !"},
      {11, "Ctrl-C Pressed"},
      {13, "Operation terminated"},
      {100, "Error with Handles\nStrange !"},
      {-1, "Error\nVery informative error ;-)"},
  };
  jar.archiveName = "/data/x.j";
  for (const auto& [code, text] : boxes) {
    prompter.expect(BoxKind::Error, text);
    EXPECT_FALSE(Judge(code)) << code;
  }
  WriteErrors("ERROR #174");  // no password handling with the console shown
  prompter.expect(BoxKind::Error, "A fatal error has happened !");
  EXPECT_FALSE(Judge(2));
}

TEST_F(ExitStatusTest, MissingPasswordAsksAndListsAgain) {
  WriteErrors("ERROR #174: this archive is protected by a password\n");
  dialogs.confirmWith = "secret12";
  // The nested listing runs the configured archiver, which does not exist here: that run reports
  // it, and the verdict is still the user's answer.
  settings.theJar32Exe = temp.path() + "/missing.exe";
  prompter.expect(BoxKind::Error, temp.path() + "/missing.exe does not exist, no jar32 executable");
  std::string nestedLine;
  jar.onRunStart = [&](TJar& j) { nestedLine = j.ReadWholeFile(j.argumentsFile); };
  EXPECT_TRUE(Judge(2));
  EXPECT_EQ(dialogs.passwordAsked, 1);
  EXPECT_TRUE(jar.usePassword);
  EXPECT_THAT(nestedLine, ::testing::StartsWith(" l -jb1- \"\" -g\"secret12\" "));
  EXPECT_FALSE(platform::PathExists(jar.argumentsFile));  // it held the password
}

TEST_F(ExitStatusTest, WrongPasswordSaysSoThenAsks) {
  WriteErrors("ERROR #168: wrong password\n");
  prompter.expect(BoxKind::Error, "Incorrect password, please specify (again) or cancel.");
  EXPECT_FALSE(Judge(2));  // cancelled: no fatal-error question follows
  EXPECT_EQ(dialogs.passwordAsked, 1);
  EXPECT_FALSE(jar.usePassword);
}

TEST_F(ExitStatusTest, LongErrorOutputIsNotAPasswordProblem) {
  WriteErrors("ERROR #174" + std::string(95, '.'));
  prompter.expect(BoxKind::Error, "A fatal error has happened !\nDo you want to see the Jar32 output ?", ButtonNo);
  EXPECT_FALSE(Judge(2));
  EXPECT_EQ(dialogs.passwordAsked, 0);
  WriteErrors("ERROR #17: something else");
  prompter.expect(BoxKind::Error, "A fatal error has happened !\nDo you want to see the Jar32 output ?", ButtonNo);
  EXPECT_FALSE(Judge(2));
  EXPECT_EQ(dialogs.passwordAsked, 0);
}

TEST_F(ExitStatusTest, ViewLastOutput) {
  jar.outputFile.clear();
  prompter.expect(BoxKind::Error, "No output, nothing to view!");
  jar.ViewLastOutput();
  jar.outputFile = jar.MakeTempFileName("OutputFile");
  prompter.expect(BoxKind::Error, "No output, nothing to view!");
  jar.ViewLastOutput();
  jar.WriteTextFile(jar.outputFile, "x");
  jar.ViewLastOutput();
  EXPECT_EQ(dialogs.shown, (Shown{{" - View last output", jar.outputFile}}));
}

TEST_F(ExitStatusTest, JarSignature) {
  const std::string good = temp.path() + "/good.j";
  std::string header(14, 'x');
  header += std::string("\x1A" "Jar\x1B", 5) + std::string(1, '\0') + "rest";
  jar.WriteTextFile(good, header);
  EXPECT_TRUE(jar.IsJarArchive(good));
  jar.WriteTextFile(good, header.substr(0, 19));  // shorter than 20 bytes
  EXPECT_FALSE(jar.IsJarArchive(good));
  header[17] = 'R';
  jar.WriteTextFile(good, header);
  EXPECT_FALSE(jar.IsJarArchive(good));
  EXPECT_FALSE(jar.IsJarArchive(temp.path()));  // a folder: no message
  prompter.expect(BoxKind::Error, "Can't open file: \"" + temp.path() + "/none.j\"");
  EXPECT_FALSE(jar.IsJarArchive(temp.path() + "/none.j"));
}

TEST_F(ExitStatusTest, TestThatNeedsAPasswordIsRunAgainWithIt) {
  // The stand-in follows the words of the "archive": without a password it ends with ERROR #174.
  jar.archiveName = temp.path() + "/protected.j";
  dialogs.confirmWith = "secret12";
  std::vector<std::string> lines;
  jar.onRunStart = [&](TJar& j) { lines.push_back(j.ReadWholeFile(j.argumentsFile)); };

  jar.WriteTextFile(jar.archiveName, "needs-password exit 0");
  prompter.expect(BoxKind::Information, "No errors detected !");  // once, for the test that ran
  jar.Run(opTest);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[1], ::testing::StartsWith(" t \"" + jar.archiveName + "\" -g\"secret12\" "));
  prompter.verifyDone();

  // The test run with the password finds damage: that is the verdict, not a success.
  lines.clear();
  jar.usePassword = false;
  jar.WriteTextFile(jar.archiveName, "needs-password exit 3");
  prompter.expect(BoxKind::Error, "CRC error!\nDo you want to see the Jar32 output ?", ButtonNo);
  jar.Run(opTest);
  EXPECT_EQ(lines.size(), 2u);
  EXPECT_EQ(dialogs.passwordAsked, 2);
}

TEST_F(ExitStatusTest, JarSignatureCheckNeverWaitsOnANamedPipe) {
  const std::string pipe = temp.path() + "/pipe.j";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  prompter.expect(BoxKind::Error, "Can't open file: \"" + pipe + "\"");
  auto answer = std::async(std::launch::async, [&] { return jar.IsJarArchive(pipe); });
  if (answer.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "the check waits for a writer";
    ::close(::open(pipe.c_str(), O_WRONLY));  // lets it go on
  }
  EXPECT_FALSE(answer.get());
}
