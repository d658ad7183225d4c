// Judging the archiver's end code and telling the user, in the archiver's own terms.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "driver/RunDetails.h"
#include "driver/TJarExec_unit.h"

namespace {

constexpr unsigned kYesNo = platform::ButtonYes | platform::ButtonNo;

}  // namespace

bool TJar::CheckExitStatus() {
  const bool consoleHidden = !config_.showDosbox;

  if (consoleHidden && exitCode == 2 && platform::FileExists(errorFile) && platform::FileSizeOf(errorFile) < 100) {
    const std::string errors = ReadWholeFile(errorFile);
    if (!errors.empty()) {
      bool verdict = false;
      if (errors.find("ERROR #174") != std::string::npos) {
        AskPasswordAndRelist(verdict);
        return verdict;
      }
      if (errors.find("ERROR #168") != std::string::npos) {
        prompter_.error("Incorrect password, please specify (again) or cancel.");
        AskPasswordAndRelist(verdict);
        return verdict;
      }
    }
  }

  // A question whose Yes shows a file of the run (only when the file is not empty).
  auto offer = [this](const char* question, const char* captionSuffix, const std::string& file) {
    if (prompter_.ask(platform::BoxKind::Error, question, kYesNo) == platform::ButtonYes &&
        platform::FileSizeOf(file) > 0 && dialogs)
      dialogs->ShowFile(captionSuffix, file);
  };
  auto report = [this](const std::string& text) { return ReportFailure(text); };

  switch (exitCode) {
    case 1:
      if (!consoleHidden) return report("A warning was issued by Jar");
      offer("A warning was issued, do you want to see the Jar32 output ?", " - View JAR output", outputFile);
      return true;
    case 2:
      if (!consoleHidden) return report("A fatal error has happened !");
      offer("A fatal error has happened !\nDo you want to see the Jar32 output ?", " - View JAR error output",
            errorFile);
      return false;
    case 3:
      if (!consoleHidden) return report("CRC error!");
      offer("CRC error!\nDo you want to see the Jar32 output ?", " - View JAR error output", errorFile);
      return false;
    case 5: return report("Disk full or write error");
    case 6:
      if (!consoleHidden) return report("Cannot open file!");
      offer("Cannot open file!\nDo you want to see the Jar32 output ?", " - View JAR error output", errorFile);
      return false;
    case 7:
      if (!consoleHidden) return report("Bad parameters !\nTamber programmer probably made an error ;-)");
      offer("Bad parameters !\nDo you want to see the Jar32 output ?", " - View JAR error output", errorFile);
      return false;
    case 8: return report("There's not enough memory !");
    case 9:  // a header recovery names its damaged archive apart from the open one
      return report((runningOperation_ == opRecoverHeader ? configFileName : archiveName) + " is not a JAR archive !");
    case 10: return report("Internal error !");
    case 11: return report("Ctrl-C Pressed");
    case 13: return report("Operation terminated");
    case TJarExecute::kHandleError: return report("Error with Handles\nStrange !");
    case TJarExecute::kStartError: return report("Error\nVery informative error ;-)");
    default: return true;  // 0, 4, 12 and every code not listed
  }
}

// The password dialog, then the archive listed again with the new password; a test is run again
// instead, since a listing proves nothing about the members, and so is a header recovery, whose
// damaged archive need not be the listed one. The nested run reports its own outcome. The verdict
// is the user's answer, except after a test (the nested test has said all) and after a recovery
// (whether the nested recovery succeeded).
void TJar::AskPasswordAndRelist(bool& verdict) {
  verdict = dialogs && dialogs->AskPassword();
  if (!verdict) return;
  usePassword = true;
  const bool test = runningOperation_ == opTest;
  const bool recovery = runningOperation_ == opRecoverHeader;
  bool nestedSucceeded = true;
  try {
    Run(test || recovery ? runningOperation_ : opList);
  } catch (const JarFailure& failure) {
    nestedSucceeded = false;
    if (!failure.text.empty()) prompter_.error(failure.text);
  }
  if (test) verdict = false;
  if (recovery) verdict = nestedSucceeded;
}

void TJar::ViewLastOutput() {
  if (!platform::FileExists(outputFile) || platform::FileSizeOf(outputFile) <= 0) {
    prompter_.error("No output, nothing to view!");
    return;
  }
  try {
    if (dialogs) dialogs->ShowFile(" - View last output", outputFile);
  } catch (...) {
    // Nothing to report: the viewer could not be shown.
  }
}

bool TJar::IsJarArchive(const std::string& fileName) {
  if (platform::IsFolder(fileName)) return false;
  // Without blocking: a named pipe would wait for a writer. Only a regular file can be an archive.
  int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st {};
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    fd = -1;
  }
  if (fd < 0) {
    prompter_.error("Can't open file: \"" + fileName + "\"");
    return false;
  }
  unsigned char header[64];
  ssize_t got = 0;
  while (got < static_cast<ssize_t>(sizeof header)) {
    ssize_t n = ::read(fd, header + got, sizeof header - static_cast<size_t>(got));
    if (n <= 0) break;
    got += n;
  }
  ::close(fd);
  static const unsigned char kSignature[] = {0x1A, 'J', 'a', 'r', 0x1B, 0x00};
  return got >= 20 && std::memcmp(header + 14, kSignature, sizeof kSignature) == 0;
}

bool TJar::ReportFailure(const std::string& text) {
  constexpr size_t kShownBytes = 16 * 1024;
  const std::vector<std::string> passwords{config_.password, newPassword};
  const std::string errors = rundetails::MaskPasswords(rundetails::TailOfFile(errorFile, kShownBytes), passwords);
  const std::string output = rundetails::MaskPasswords(rundetails::TailOfFile(outputFile, kShownBytes), passwords);
  prompter_.errorWithDetails(text, rundetails::DetailsText(runCommand_, runArguments_, exitCode, errors, output));
  return false;
}
