// Turning the job into JAR32's argument file, file list and comment files; the checks of a run.

#include <fcntl.h>
#include <unistd.h>

#include "driver/TJarExec_unit.h"

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// " -<switch>" followed by "-" unless the flag is set.
std::string OnOff(const char* item, bool on) { return std::string(item) + (on ? "" : "-"); }

std::string Range(int32_t from, int32_t to) {
  std::string range;
  if (from != 0) range += std::to_string(from);
  range += "-";
  if (to != 0) range += std::to_string(to);
  return range;
}

// The argument file, opened before the other work files are named and written when the line is done.
class ArgumentsStream {
 public:
  explicit ArgumentsStream(const std::string& name)
      : name_(name), fd_(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)) {}
  ~ArgumentsStream() {
    if (fd_ >= 0) ::close(fd_);
  }
  ArgumentsStream(const ArgumentsStream&) = delete;
  ArgumentsStream& operator=(const ArgumentsStream&) = delete;
  bool IsOpen() const { return fd_ >= 0; }
  void Finish(const std::string& line) {
    const int fd = fd_;
    fd_ = -1;
    bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    if (::close(fd) != 0 || !written) throw JarFailure{"Error opening Argumentsfile: " + name_};
  }

 private:
  std::string name_;
  int fd_;
};

}  // namespace

void TJar::BuildArguments(int operation) {
  // The class follows from the operation, so the builder can also be used on its own.
  commandClass = JarCommandClass(operation);
  const bool consoleShown = config_.showDosbox && !JarConsoleForcedHidden(operation);
  const std::string& password = config_.password;
  argumentsHoldPassword_ = false;

  argumentsFile = MakeTempFileName("ArgumentsFile");
  ArgumentsStream arguments(argumentsFile);
  errorFile = MakeTempFileName("ErrorFile");
  outputFile = MakeTempFileName("OutputFile");
  inputFile = MakeTempFileName("InputFile");
  if (!arguments.IsOpen()) throw JarFailure{"Error opening Argumentsfile: " + argumentsFile};

  std::string line = JarCommandText(operation);
  if (line.empty()) throw JarFailure{"Error: wrong operation !"};

  if (operation == opGenerateConfig) {
    line += " " + Quoted(configFileName);
    arguments.Finish(line);
    return;
  }
  if (operation == opRecoverHeader) {
    line += " -y " + Quoted(configFileName);
    if (usePassword && !password.empty()) {
      line += " -g" + password;
      argumentsHoldPassword_ = true;
    }
    arguments.Finish(line);
    return;
  }

  line += " " + Quoted(archiveName);
  line += " -g" + (password.empty() || !usePassword ? std::string("-") : Quoted(password));
  argumentsHoldPassword_ = !password.empty() && usePassword;
  if (operation == opCopyArchive) {
    line += " -jg";
    if (!newPassword.empty() && changePassword) {
      line += Quoted(newPassword);
      argumentsHoldPassword_ = true;
    }
  }
  line += commandClass != 0 || archiveBitsMode == 2 ? " -b-" : " -b" + std::to_string(archiveBitsMode);
  if (commandClass == 1) {
    if (freshenMode != 3) line += " -f" + (freshenMode != 0 ? std::to_string(freshenMode) : "");
    if (updateMode != 3) line += " -u" + (updateMode != 0 ? std::to_string(updateMode) : "");
  }
  line += commandClass != 0 || compressionMethod == 0 ? " -m-" : " -m" + std::to_string(compressionMethod);
  line += timeStampMode == 0 ? " -s" : timeStampMode == 2 ? " -s-" : " -s1";
  line += lockMode == 3 ? " -jl-" : " -jl" + (lockMode != 0 ? std::to_string(lockMode) : "");
  if (operation == opAddChapter && chapterMode != 3)
    line += " -js" + (chapterMode != 2 ? std::to_string(chapterMode) : "");
  line += lfnMode == 4 ? " -hf-" : " -hf" + (lfnMode != 0 ? std::to_string(lfnMode) : "");
  const bool copyWithNewPassword = operation == opCopyArchive && !password.empty() && usePassword &&
                                   !newPassword.empty() && changePassword;
  if (!copyWithNewPassword)
    line += accessProtection == 2 ? " -hg-" : " -hg" + std::to_string(accessProtection);
  if (useListFile) line += " -l" + Quoted(listFileName);
  if (useOutputPath) line += " -o" + Quoted(outputPath);
  if (useWorkFolder) line += " -w" + Quoted(workFolder);
  if (useArchiveComment) line += CommentFileItem(" -z", archiveComment, archiveCommentIsText, "TBArchiveComment.txt");
  if (useChapterComment) line += CommentFileItem(" -hz", chapterComment, chapterCommentIsText, "TBChapterComment.txt");
  if (multiVolume && (operation == opAdd || operation == opAddChapter || operation == opCopyArchive)) {
    if (volumeFlags & kVolumeInhibit) line += " -vi";
    if (volumeFlags & kVolumeBeep) line += " -vv";
    if (volumeFlags & kVolumeAutoSize)
      line += " -va";
    else if (!volumeSize.empty())
      line += " -v" + volumeSize;
    if ((volumeFlags & kVolumeReserve) && !reserveSpace.empty()) line += " -vr" + reserveSpace;
  }
  if (commandClass == 0) {
    if (!includeArchiveAttr) line += " -hba0";
    if (!includeDirectoryAttr) line += " -hbd0";
    if (!includeHiddenAttr) line += " -hbh0";
    if (!includeReadOnlyAttr) line += " -hbr0";
    if (!includeSystemAttr) line += " -hbs0";
  }
  if (!consoleShown || operation == opList || assumeYes) line += " -y";
  if (commandClass == 0) line += OnOff(" -d", withDelete);
  if (operation == opAdd || operation == opDelete) line += OnOff(" -n", onlyNewFiles);
  line += OnOff(" -q", consoleShown && queryEachFile);
  line += OnOff(" -r", recurseFolders);
  line += OnOff(" -jf", storeFullPath);
  line += OnOff(" -jr", recoverBroken);
  line += OnOff(" -jt", testTempArchive);
  line += OnOff(" -hk", addRecoveryRecords);
  line += OnOff(" -hx", useRecoveryRecords);
  line += OnOff(" -jx", hideContents);
  line += OnOff(" -ha", ignoreReadOnly);
  line += OnOff(" -he", skipSecurityTest);
  line += OnOff(" -hy", addSecurityEnvelope);
  line += testNewFiles ? " -ht0" : " -ht-";
  if (useChapterRange &&
      (operation == opExtract || operation == opExtractWithFolders || operation == opList))
    line += " -jb" + Range(chapterFrom, chapterTo);
  if (useChapterRange && operation == opDeleteChapters) line += " " + Range(chapterFrom, chapterTo);
  WriteFiles();
  if (!fileList.empty()) line += " @" + Quoted(filesFile);
  if (commandClass == 0)
    for (const std::string* name : {&errorFile, &inputFile, &outputFile, &argumentsFile, &filesFile})
      line += " -x" + Quoted(*name);
  if (useExcludeList && operation != opList)
    for (const std::string& entry : excludeList)
      line += " -x" + (operation == opDeleteChapters ? entry : Quoted(entry));

  arguments.Finish(line);
}

std::string TJar::CommentFileItem(const char* item, const std::string& comment, bool isText, const char* label) {
  if (comment == "NUL") return item + std::string("NUL");
  std::string fileName = comment;
  if (isText) {
    fileName = MakeTempFileName(label);
    WriteTextFile(fileName, comment);
  }
  return item + Quoted(fileName);
}

void TJar::WriteFiles() {
  if (fileList.empty()) return;
  filesFile = MakeTempFileName("FilesFile");
  std::string line;
  for (const std::string& entry : fileList) {
    std::string name = makeNamesAbsolute   ? MakeAbsoluteName(sourceFolder, entry)
                       : makeNamesRelative ? MakeRelativeName(sourceFolder, entry)
                                           : entry;
    line += " " + Quoted(name);
  }
  if (!platform::WriteWholeFile(filesFile, line)) throw JarFailure{"Error in: WriteFiles()"};
}
