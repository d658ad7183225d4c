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

// The argument file has no escape for a double quote: an item holding one would end early and the
// archiver would work on another name. Such a job is refused before anything is written.
void RefuseQuote(const char* what, const std::string& text, bool secret = false) {
  if (text.find('"') == std::string::npos) return;
  std::string message = std::string(what) + " cannot contain the character \" (the archiver's command file cannot carry it)";
  throw JarFailure{secret ? message + "." : message + ":\n" + text};
}

}  // namespace

std::string TJar::FileListName(const std::string& entry) const {
  return makeNamesAbsolute   ? MakeAbsoluteName(sourceFolder, entry)
         : makeNamesRelative ? MakeRelativeName(sourceFolder, entry)
                             : entry;
}

void TJar::RefuseQuotes(int operation) const {
  const std::string& password = config_.password;
  if (operation == opGenerateConfig) return RefuseQuote("The configuration file name", configFileName);
  if (operation == opRecoverHeader) {
    RefuseQuote("The archive name", configFileName);
    if (usePassword) RefuseQuote("The password", password, true);
    return;
  }
  RefuseQuote("The archive name", archiveName);
  if (usePassword) RefuseQuote("The password", password, true);
  if (operation == opCopyArchive && changePassword) RefuseQuote("The new password", newPassword, true);
  if (useListFile) RefuseQuote("The list file name", listFileName);
  if (useOutputPath) RefuseQuote("The output path", outputPath);
  if (useWorkFolder) RefuseQuote("The work folder", workFolder);
  if (useArchiveComment && !archiveCommentIsText && archiveComment != "NUL")
    RefuseQuote("The archive comment file name", archiveComment);
  if (useChapterComment && !chapterCommentIsText && chapterComment != "NUL")
    RefuseQuote("The chapter comment file name", chapterComment);
  for (const std::string& entry : fileList) RefuseQuote("A file name", FileListName(entry));
  if (useExcludeList && operation != opList)
    for (const std::string& entry : excludeList) RefuseQuote("An excluded name", entry);
  // Work files are named in quotes in the file list, the add group's exclusions and comment items.
  const bool textComment = (useArchiveComment && archiveCommentIsText && archiveComment != "NUL") ||
                           (useChapterComment && chapterCommentIsText && chapterComment != "NUL");
  if (!fileList.empty() || JarCommandClass(operation) == 0 || textComment)
    RefuseQuote("The temporary folder", tempFolder);
}

void TJar::BuildArguments(int operation) {
  RefuseQuotes(operation);
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
  // Extracting without a console and without "yes to all" gets no -y: the archiver's standard input
  // is the empty input file, so every question it asks (replace an existing file?) is answered no.
  const bool answeredNo = !consoleShown && !assumeYes && commandClass == 1;
  if ((!consoleShown && !answeredNo) || operation == opList || assumeYes) line += " -y";
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
  for (const std::string& entry : fileList) line += " " + Quoted(FileListName(entry));
  if (!platform::WriteWholeFile(filesFile, line)) throw JarFailure{"Error in: WriteFiles()"};
}
