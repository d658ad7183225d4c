// Starting the archiver on a worker thread and waiting for it while the owner's events go on.

#include <system_error>

#include "driver/RunDetails.h"
#include "driver/TJarExec_unit.h"

void TJar::SetOwner(platform::RunEventLoop* owner) {
  owner_ = owner;
  if (owner_) owner_->onRunEnded = [this](int32_t endCode) { RunFinished(endCode); };
}

bool TJar::Execute(const JarCommandLine& line) {
  const std::string program = platform::FindProgram(line.program);
  if (program.empty()) {
    prompter_.error(config_.theJar32Exe + " does not exist, no jar32 executable");
    return false;
  }
  running = true;
  if (!owner_) {
    running = false;
    prompter_.error("Owner of a TJar component must be a TForm");
    return false;
  }
  workingFolder = fromCurrentFolder ? sourceFolder : tempFolder;
  if (!platform::FileExists(errorFile) || !platform::FileExists(inputFile) || !platform::FileExists(outputFile)) {
    running = false;
    prompter_.error("Error with temporary files");
    return false;
  }

  try {
    executeThread = std::make_unique<TJarExecute>(*owner_, outputFile, inputFile, errorFile, workingFolder, program,
                                                  line.argument, config_.showDosbox, config_.jar32Priority);
    executeThread->Start();
  } catch (const std::system_error&) {
    executeThread.reset();
    exitCode = TJarExecute::kStartError;
    running = false;
  }
  while (running) owner_->ProcessNextEvent();
  if (executeThread) {
    executeThread->WaitFor();
    executeThread.reset();
  }
  const std::vector<std::string> passwords{config_.password, newPassword};
  runCommand_ = rundetails::MaskPasswords(program + " " + line.argument, passwords);
  runArguments_ = rundetails::MaskPasswords(ReadWholeFile(argumentsFile), passwords);
  while (!runArguments_.empty() && (runArguments_.back() == '\n' || runArguments_.back() == '\r')) runArguments_.pop_back();
  ForgetArguments();
  return CheckExitStatus();
}

// An argument file that holds a password in plain text goes as soon as the archiver is done with it.
void TJar::ForgetArguments() {
  if (!argumentsHoldPassword_) return;
  platform::WipeAndDeleteFile(argumentsFile);
  argumentsHoldPassword_ = false;
}

void TJar::RunFinished(int32_t endCode) {
  if (!running) return;
  exitCode = endCode;
  running = false;
}

// Returns as soon as the question is answered: after Yes the worker ends the archiver and its
// end-of-run event (code 13) finishes the run, while the window goes on handling its events.
void TJar::CancelRun() {
  if (!running || !executeThread || executeThread->terminateRequested()) return;
  executeThread->SuspendChild();
  if (prompter_.ask(platform::BoxKind::Confirmation, "Do you want to terminate operation ?",
                    platform::ButtonYes | platform::ButtonNo) == platform::ButtonYes)
    executeThread->TerminateChild(13);
  else
    executeThread->ResumeChild();
}
