#pragma once
// The archiver job: one description of what JAR32 is to do, the work files of a run, the run state
// and the results of the last listing. Also the shared helpers every window uses.

#include <cstdint>
#include <string_view>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/AppTitle.h"
#include "driver/JarDialogs.h"
#include "driver/JarSinks.h"
#include "driver/ListingReader.h"
#include "driver/TJarExecute.h"
#include "driver/TJarSettings.h"
#include "platform/DialogPlacement.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "platform/RunEventLoop.h"

// The operation codes; the value is the argument of TJar::Run.
enum JarOperation : int {
  opAdd = 0,
  opAddChapter = 1,
  opDelete = 2,
  opDeleteAllChapters = 3,
  opDeleteChapters = 4,
  opExtract = 5,
  opGenerateConfig = 6,
  opFreshen = 7,
  opList = 8,
  opMove = 9,
  opRecoverHeader = 10,
  opTest = 11,
  opUpdate = 12,
  opExtractWithFolders = 13,
  opCopyArchive = 14,
};

// The command text that begins the argument line of an operation ("" for a code outside the table).
const char* JarCommandText(int operation);
// The switch group of an operation: 0 add, 1 extract, 2 delete, 3 other.
int JarCommandClass(int operation);
// Runs of these operations never show a console (listing, configuration, header recovery).
bool JarConsoleForcedHidden(int operation);

// A failure of the driver. A non-empty text is for the caller to show; an empty one was already shown.
struct JarFailure {
  std::string text;
};

// How the archiver is started: the program and its single argument "@" + argument file.
struct JarCommandLine {
  std::string program;
  std::string argument;
  std::string Text() const { return program + " " + argument; }
};

class TJar;
using JarNotification = std::function<void(TJar& sender)>;

class TJar {
 public:
  TJar(TJarSettings& config, platform::Prompter& prompter);
  TJar(const TJar&) = delete;
  TJar& operator=(const TJar&) = delete;
  ~TJar();

  // The owner's event queue: the run waits in it and gets the end-of-run event through it. Setting it
  // routes that event to RunFinished.
  void SetOwner(platform::RunEventLoop* owner);
  platform::RunEventLoop* owner() const { return owner_; }

  // Links set by the owner.
  JarListSink* listView = nullptr;
  JarCommentSink* commentMemo = nullptr;
  JarProgressSink* progressBar = nullptr;
  JarStatusSink* statusBar = nullptr;
  JarNotification onRunStart;
  JarNotification onRunEnd;
  JarDialogs* dialogs = nullptr;

  // Job options.
  std::string archiveName;
  std::vector<std::string> fileList;
  std::vector<std::string> excludeList;
  bool useExcludeList = false;
  std::string sourceFolder;
  bool fromCurrentFolder = false;
  bool makeNamesAbsolute = true;
  bool makeNamesRelative = false;
  std::string outputPath;
  bool useOutputPath = false;
  bool usePassword = false;
  std::string newPassword;
  bool changePassword = false;
  std::string archiveComment;
  bool useArchiveComment = false;
  bool archiveCommentIsText = false;
  std::string chapterComment;
  bool useChapterComment = false;
  bool chapterCommentIsText = false;
  bool useChapterRange = false;
  int32_t chapterFrom = 0;
  int32_t chapterTo = 0;
  int archiveBitsMode = 2;
  int freshenMode = 3;
  int compressionMethod = 0;
  int timeStampMode = 2;
  int updateMode = 3;
  int lockMode = 3;
  int chapterMode = 3;
  int lfnMode = 4;
  int accessProtection = 0;
  bool withDelete = false;
  bool onlyNewFiles = false;
  bool queryEachFile = false;
  bool recurseFolders = true;
  bool assumeYes = true;
  bool storeFullPath = false;
  bool recoverBroken = false;
  bool testTempArchive = false;
  bool hideContents = false;
  bool ignoreReadOnly = false;
  bool skipSecurityTest = false;
  bool addSecurityEnvelope = false;
  bool addRecoveryRecords = false;
  bool useRecoveryRecords = false;
  bool testNewFiles = false;
  bool includeArchiveAttr = true;
  bool includeDirectoryAttr = true;
  bool includeHiddenAttr = true;
  bool includeReadOnlyAttr = true;
  bool includeSystemAttr = true;
  bool multiVolume = false;
  std::string volumeSize;
  uint8_t volumeFlags = 0;  // 1 automatic size, 8 reserve space, 16 inhibit, 32 beep
  std::string reserveSpace;
  std::string listFileName;
  bool useListFile = false;
  std::string workFolder;
  bool useWorkFolder = false;
  std::string configFileName;

  // Work files and run state.
  std::string tempFolder;
  std::string workingFolder;
  std::string argumentsFile, errorFile, outputFile, inputFile, filesFile;
  std::vector<std::string> tempFileList;
  int commandClass = 3;  // 0 add group, 1 extract group, 2 delete group, 3 other
  bool running = false;
  int32_t exitCode = 0;
  std::unique_ptr<TJarExecute> executeThread;  // the worker of the run in progress
  ListingReader listingStream;
  int64_t outputSize = 0;
  float progressScale = 1.0f;
  int parseMode = 0;  // 0 full listing, 1 folder entries only, 2 no entries
  JarCommandLine commandLine;  // of the last run that got that far

  // Listing results.
  std::string archiveFlags;
  std::string createdDate, modifiedDate;
  std::string securitySignature;
  std::string currentChapters;
  bool hasComment = false;
  std::string totalFiles, totalBytes, dataRatio;

  // Volume flag bits.
  static constexpr uint8_t kVolumeAutoSize = 1, kVolumeReserve = 8, kVolumeInhibit = 16, kVolumeBeep = 32;

  void ResetOptions();
  void ClearArchive();

  void SetNewPassword(const std::string& value);
  void SetListFile(const std::string& value);
  void SetOutputPath(const std::string& value);
  void SetWorkFolder(const std::string& value);
  void SetArchiveComment(const std::string& value);
  void SetChapterComment(const std::string& value);
  void SetChapterFrom(int32_t value);
  void SetChapterTo(int32_t value);

  // Runs one operation: checks, argument file, the archiver, its report. Throws JarFailure.
  void Run(int operation);
  // Writes the argument file (and the file list and comment files) for an operation without running
  // anything. Throws JarFailure with the text to show.
  void BuildArguments(int operation);
  void WriteFiles();
  // The name an entry of fileList is written as (made absolute or relative to sourceFolder).
  std::string FileListName(const std::string& entry) const;
  // Starts the archiver and waits for it while handling the owner's events; the verdict of
  // CheckExitStatus.
  bool Execute(const JarCommandLine& commandLine);
  // The end-of-run event: stores the end code of the run in progress; ignored outside a run.
  void RunFinished(int32_t endCode);
  // The cancel command of the owner while a run is in progress: stops the archiver, asks, and has it
  // ended or lets it go on. Returns once answered; an ended run finishes with end code 13 when its
  // end-of-run event comes.
  void CancelRun();
  // Judges exitCode and reports it; true for success.
  bool CheckExitStatus();
  // Shows the last run's output file.
  void ViewLastOutput();
  // The archive's header carries the JAR signature.
  bool IsJarArchive(const std::string& fileName);

  std::string MakeTempFileName(const std::string& label);
  void DeleteTempFiles();
  // Creates or truncates the file and writes text unchanged; throws "Error opening: " + name.
  void WriteTextFile(const std::string& fileName, const std::string& text);
  // The whole file, or "" when it cannot be read.
  std::string ReadWholeFile(const std::string& fileName);
  bool IsRemovableDrive(const std::string& path);

  // The listing of the last successful opList run into the sinks and the listing results.
  // Both throw JarFailure with the text to show.
  void OpenOutputFile();
  void ParseFile();
  // The next line of the output file (see ListingReader), advancing the progress bar.
  std::string_view ReadLine(int64_t& count);
  // The line holds one of the archive flag words.
  static bool IsFlagsLine(std::string_view line);

  TJarSettings& config() { return config_; }
  platform::Prompter& prompter() { return prompter_; }

 private:
  std::string CommentFileItem(const char* item, const std::string& comment, bool isText, const char* label);

  // Throws the message naming the first item of the job that holds a double quote.
  void RefuseQuotes(int operation) const;
  void AskPasswordAndRelist(bool& verdict);
  void ForgetArguments();
  // The error box of a failed run, with the run's details.
  bool ReportFailure(const std::string& text);

  TJarSettings& config_;
  platform::Prompter& prompter_;
  platform::RunEventLoop* owner_ = nullptr;
  bool argumentsHoldPassword_ = false;  // the argument file must not outlive the run
  std::string runCommand_, runArguments_;  // of the last run, passwords masked, for the error details
  int runningOperation_ = -1;           // the operation Run is carrying out
};

// Shared helpers of every window.
using platform::FileSizeOf;
using platform::IsFolder;
using platform::JoinFolderAndName;
using platform::MakeAbsoluteName;
using platform::MakeRelativeName;
using platform::NormalizeFolder;
using platform::StripQuotes;

using platform::DialogPosition;
using platform::DialogRect;
using platform::PlaceDialog;

// A path that could name a drive: a drive letter under the Windows style, an absolute path under POSIX.
bool LooksLikeDrivePath(const std::string& path, platform::PathStyle style = platform::kHostPathStyle);
