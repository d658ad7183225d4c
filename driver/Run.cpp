// One operation end to end: checks, argument file, the archiver, its report, the listing.

#include "driver/TJarExec_unit.h"

void TJar::Run(int operation) {
  // The operation of this run while it lasts; a nested run puts back the outer one's.
  struct OperationScope {
    int& field;
    int outer;
    ~OperationScope() { field = outer; }
  } operationScope{runningOperation_, runningOperation_};
  runningOperation_ = operation;
  const bool rememberedDosbox = config_.showDosbox;
  commandClass = 3;
  DeleteTempFiles();

  if (operation < opAdd || operation > opCopyArchive) throw JarFailure{"Command NOT supported (yet) !"};
  if ((operation == opDelete || operation == opDeleteAllChapters) && useChapterRange)
    throw JarFailure{"Can't use a chapter selecting with deletion!"};
  commandClass = JarCommandClass(operation);
  if (operation == opDeleteChapters && !useChapterRange) throw JarFailure{"No Chapter(s) selected, nothing to delete"};
  if (JarConsoleForcedHidden(operation)) config_.showDosbox = false;
  if (operation == opList) fromCurrentFolder = false;

  try {
    BuildArguments(operation);
  } catch (const JarFailure& failure) {
    ForgetArguments();
    if (!failure.text.empty()) prompter_.error(failure.text);
    config_.showDosbox = rememberedDosbox;
    throw JarFailure{""};
  }
  commandLine = JarCommandLine{config_.theJar32Exe, "@" + argumentsFile};

  if (onRunStart) onRunStart(*this);
  auto runEnd = [this] {
    if (onRunEnd) onRunEnd(*this);
  };
  bool success;
  try {
    success = Execute(commandLine);
  } catch (...) {
    ForgetArguments();
    config_.showDosbox = rememberedDosbox;
    runEnd();
    throw;
  }
  ForgetArguments();  // also when the archiver never started
  config_.showDosbox = rememberedDosbox;

  if (operation == opTest) {
    if (success) prompter_.info("No errors detected !");
    runEnd();
    return;
  }
  if (operation == opList && success) {
    try {
      OpenOutputFile();
    } catch (...) {
      runEnd();
      throw;
    }
  }
  runEnd();
  if (!success) throw JarFailure{""};
}

