#include <cctype>

#include "driver/TJarExec_unit.h"
#include "platform/RemovableDrive.h"
#include "platform/Utf8.h"

namespace {

const char* const kCommandTexts[] = {
    " a", " ac", " d", " da", " dc", " e", " CFG", " f", " l -jb1-", " m", " rh", " t", " u", " x", " y",
};

}  // namespace

const char* JarCommandText(int operation) {
  if (operation < opAdd || operation > opCopyArchive) return "";
  return kCommandTexts[operation];
}

int JarCommandClass(int operation) {
  switch (operation) {
    case opAdd: case opAddChapter: case opFreshen: case opMove: case opUpdate: return 0;
    case opExtract: case opExtractWithFolders: return 1;
    case opDelete: case opDeleteAllChapters: case opDeleteChapters: return 2;
    default: return 3;
  }
}

bool JarConsoleForcedHidden(int operation) {
  return operation == opList || operation == opGenerateConfig || operation == opRecoverHeader;
}

TJar::TJar(TJarSettings& config, platform::Prompter& prompter) : config_(config), prompter_(prompter) {
  tempFolder = platform::SystemTempFolder();
  workingFolder = tempFolder;
  ResetOptions();
  hasComment = false;
  running = false;
}

// The last run's work files stay on disk for the output viewer.
TJar::~TJar() = default;

void TJar::ResetOptions() {
  fileList.clear();
  excludeList.clear();
  useExcludeList = false;
  makeNamesAbsolute = true;
  makeNamesRelative = false;
  useOutputPath = false;
  useArchiveComment = false;
  useChapterComment = false;
  useChapterRange = false;
  chapterFrom = 0;
  chapterTo = 0;
  archiveBitsMode = 2;
  freshenMode = 3;
  compressionMethod = 0;
  timeStampMode = 2;
  updateMode = 3;
  lockMode = 3;
  chapterMode = 3;
  lfnMode = 4;
  withDelete = false;
  onlyNewFiles = false;
  queryEachFile = false;
  recurseFolders = true;
  assumeYes = true;
  storeFullPath = false;
  recoverBroken = false;
  testTempArchive = false;
  hideContents = false;
  ignoreReadOnly = false;
  skipSecurityTest = false;
  addSecurityEnvelope = false;
  addRecoveryRecords = false;
  useRecoveryRecords = false;
  testNewFiles = false;
  includeArchiveAttr = includeDirectoryAttr = includeHiddenAttr = includeReadOnlyAttr = includeSystemAttr = true;
  multiVolume = false;
  volumeFlags = 0;
  useListFile = false;
  useWorkFolder = false;
}

void TJar::ClearArchive() {
  ResetOptions();
  archiveName.clear();
  archiveFlags.clear();
  createdDate.clear();
  modifiedDate.clear();
  securitySignature.clear();
  hasComment = false;
}

void TJar::SetNewPassword(const std::string& value) {
  if (value == newPassword) return;
  newPassword = platform::Utf8Length(value) >= 8 ? value : std::string();
}

void TJar::SetListFile(const std::string& value) {
  if (value == listFileName) return;
  if (platform::FileExists(value)) listFileName = value;
}

void TJar::SetOutputPath(const std::string& value) {
  if (value == outputPath) return;
  // Characters that cannot be part of a path: "/" under Windows, wildcards everywhere.
  const char* refused = platform::kHostPathStyle == platform::PathStyle::Windows ? "/?" : "?";
  outputPath = value.find_first_of(refused) == std::string::npos ? value : std::string();
}

void TJar::SetWorkFolder(const std::string& value) {
  if (value == workFolder) return;
  workFolder = platform::IsFolder(value) ? value : std::string();
}

void TJar::SetArchiveComment(const std::string& value) {
  if (value == archiveComment) return;
  archiveComment = archiveCommentIsText || platform::FileExists(value) ? value : std::string();
}

void TJar::SetChapterComment(const std::string& value) {
  if (value == chapterComment) return;
  chapterComment = chapterCommentIsText || platform::FileExists(value) ? value : std::string();
}

void TJar::SetChapterFrom(int32_t value) { chapterFrom = value; }
void TJar::SetChapterTo(int32_t value) { chapterTo = value; }

std::string TJar::MakeTempFileName(const std::string& label) {
  std::string name = platform::MakeUniqueTempFile(tempFolder, "~tb");
  if (name.empty()) name = tempFolder + label + "_";
  tempFileList.push_back(name);
  return name;
}

void TJar::DeleteTempFiles() {
  for (const std::string& name : tempFileList) platform::DeleteFileQuietly(name);
  tempFileList.clear();
}

void TJar::WriteTextFile(const std::string& fileName, const std::string& text) {
  if (!platform::WriteWholeFile(fileName, text)) throw JarFailure{"Error opening: " + fileName};
}

std::string TJar::ReadWholeFile(const std::string& fileName) {
  std::string content;
  platform::ReadWholeFile(fileName, content);
  return content;
}

bool TJar::IsRemovableDrive(const std::string& path) {
  return LooksLikeDrivePath(path) && platform::IsRemovablePath(path);
}

bool LooksLikeDrivePath(const std::string& path, platform::PathStyle style) {
  if (path.empty()) return false;
  if (style == platform::PathStyle::Posix) return path.front() == '/';
  return std::isalpha(static_cast<unsigned char>(path.front())) != 0 &&
         static_cast<unsigned char>(path.front()) < 0x80;
}
