// Reading the archiver's listing into the list, the comment pane and the listing results.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/TJarExec_unit.h"

namespace {

constexpr std::string_view kCurrentChapter = "Current chapter: ";
constexpr std::string_view kChapterRange = "Chapter range selected: ";
constexpr int64_t kCommentLimit = 4096;

bool Contains(std::string_view line, std::string_view text) { return line.find(text) != std::string_view::npos; }
bool Contains(std::string_view line, char c) { return line.find(c) != std::string_view::npos; }

bool HasChapterMarker(std::string_view line) {
  return Contains(line, kCurrentChapter) || Contains(line, kChapterRange);
}

// The text from a 0-based index to the end; "" when the line is shorter.
std::string_view From(std::string_view line, size_t index) {
  return index < line.size() ? line.substr(index) : std::string_view{};
}

std::string_view Middle(std::string_view line, size_t index, size_t length) {
  return index < line.size() ? line.substr(index, length) : std::string_view{};
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view Trim(std::string_view text) {
  text = TrimLeft(text);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Stand-ins for links the owner left unset.
class NoList final : public JarListSink {
 public:
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void Clear() override {}
  void AddRow(const ArchiveEntryRow&) override {}
  bool SortingEnabled() const override { return false; }
  void SetSortingEnabled(bool) override {}
};

class NoComment final : public JarCommentSink {
 public:
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void Clear() override {}
  void AddLine(const std::string&) override {}
};

class NoProgress final : public JarProgressSink {
 public:
  void SetMaximum(int64_t) override {}
  int64_t Maximum() const override { return INT64_MAX; }
  void SetPosition(int64_t) override {}
  void Show() override {}
  void Hide() override {}
};

JarListSink& ListOf(JarListSink* sink) {
  static NoList none;
  return sink ? *sink : none;
}
JarCommentSink& CommentOf(JarCommentSink* sink) {
  static NoComment none;
  return sink ? *sink : none;
}
JarProgressSink& ProgressOf(JarProgressSink* sink) {
  static NoProgress none;
  return sink ? *sink : none;
}

// Ends an update that was begun, also when the parse fails on the way.
template <class Sink>
class UpdateScope {
 public:
  explicit UpdateScope(Sink& sink) : sink_(&sink) { sink.BeginUpdate(); }
  ~UpdateScope() { End(); }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;
  void End() {
    if (sink_) sink_->EndUpdate();
    sink_ = nullptr;
  }

 private:
  Sink* sink_;
};

[[noreturn]] void Fail(const char* text) { throw JarFailure{text}; }

// The folder of a "..." directory line whose " directory" starts at index dir: the text between the
// opening quote and the quote before " directory".
std::string_view QuotedFolder(std::string_view line, size_t dir) {
  const size_t open = line.find('"');
  if (open == std::string_view::npos || dir == 0 || line[dir - 1] != '"' || open + 1 > dir - 1) return {};
  return line.substr(open + 1, dir - 1 - (open + 1));
}

}  // namespace

bool TJar::IsFlagsLine(std::string_view line) {
  static constexpr std::string_view kWords[] = {"LOCKED", "AUTO_LOCK", "RECOVERY RECORDS", "SECURED",
                                                "HIDDEN", "PROTECTED", "ENCRYPTED"};
  for (std::string_view word : kWords)
    if (Contains(line, word)) return true;
  return false;
}

std::string_view TJar::ReadLine(int64_t& count) {
  std::string_view line = listingStream.ReadLine(count);
  if (line.empty()) return line;
  ProgressOf(progressBar).SetPosition(std::llround(static_cast<double>(count) * progressScale));
  if (line.back() == '\r') line.remove_suffix(1);
  return line;
}

void TJar::OpenOutputFile() {
  JarProgressSink& bar = ProgressOf(progressBar);
  JarListSink& list = ListOf(listView);
  outputSize = FileSizeOf(outputFile);
  if (outputSize <= 0) {
    prompter().error("Outputfile is empty !");
    bar.Hide();
    return;
  }
  if (!listingStream.Open(outputFile)) {
    bar.Hide();
    throw JarFailure{"Error opening OutputFile: " + outputFile};
  }
  const bool sorting = list.SortingEnabled();
  list.SetSortingEnabled(false);
  try {
    ParseFile();
  } catch (...) {
    bar.Hide();
    list.SetSortingEnabled(sorting);
    listingStream.Close();
    throw;
  }
  bar.Hide();
  listingStream.Close();
  list.SetSortingEnabled(sorting);
}

namespace {

// One member line into the list, by parse mode. Columns of the line (0-based): size 0-9,
// attributes 12-15, modified 19-37, name from 40; without a single current chapter the name is
// followed by the member's chapter range.
void TakeMember(JarListSink& list, int parseMode, std::string_view line, std::string_view folder,
                bool chaptersFromHeader, std::string_view currentChapters) {
  if (parseMode != 0 && parseMode != 1) return;
  const std::string_view name = From(line, 40);
  if (parseMode == 1 && !Contains(name, '\\')) return;

  ArchiveEntryRow row;
  row.size = TrimLeft(line.substr(0, 10));
  row.attributes = Middle(line, 12, 4);
  row.modified = Middle(line, 19, 19);
  row.path = folder;
  if (chaptersFromHeader) {
    row.chapters = currentChapters;
    row.caption = name;
  } else {
    // The range is always last and a Linux file name may itself hold "<": cut at the last one.
    const size_t range = line.rfind('<');
    if (range == std::string_view::npos) {
      row.caption = Trim(name);
    } else {
      row.chapters = line.substr(range);
      row.caption = range >= 40 ? Trim(line.substr(40, range - 40)) : std::string_view{};
    }
  }
  row.imageIndex = parseMode == 0 && Contains(row.caption, '\\') ? 1 : 0;
  list.AddRow(row);
}

}  // namespace

void TJar::ParseFile() {
  JarProgressSink& bar = ProgressOf(progressBar);
  JarListSink& list = ListOf(listView);
  JarCommentSink& memo = CommentOf(commentMemo);

  // Scale the progress range down by halves until the bar holds it.
  const int64_t size = outputSize;
  bar.SetPosition(0);
  bar.SetMaximum(outputSize);
  progressScale = 1.0f;
  while (bar.Maximum() < outputSize && outputSize > 0) {
    progressScale *= 0.5f;
    outputSize = std::llround(static_cast<double>(size) * progressScale);
    bar.SetMaximum(outputSize);
  }
  bar.Show();

  int64_t count = 0;
  bool chaptersFromHeader = false;
  archiveFlags.clear();
  archiveComment.clear();
  useArchiveComment = false;
  // Nothing of the previous archive survives a listing that fails or lacks a line.
  createdDate = modifiedDate = "Unknown";
  securitySignature.clear();
  currentChapters.clear();
  totalFiles = totalBytes = dataRatio = "?";

  // Version, or the warning about a missing configuration file.
  std::string_view line = ReadLine(count);
  if (line.empty()) {
    line = ReadLine(count);
    if (!Contains(line, "WARNING #301")) Fail("ParseFile() e#1");
    std::string program = platform::FindProgram(config().theJar32Exe);
    if (program.empty()) program = config().theJar32Exe;
    prompter().error("Jar configuration file: \"" + JoinFolderAndName(platform::FolderPart(program), "jar.cfg") +
                     "\" not found, use \"Generate Jar.cfg\" to make one!");
    for (int i = 0; i < 5; ++i) ReadLine(count);
  } else if (!line.starts_with("JAR 1.02")) {
    Fail("ParseFile() error: Not Jar output ?");
  }

  // One or two banner lines, then "Processing".
  ReadLine(count);
  line = ReadLine(count);
  if (!line.starts_with("Processing")) {
    if (listingStream.AtEnd()) Fail("Premature end of Jar output!");
    line = ReadLine(count);
  }
  if (!line.starts_with("Processing")) Fail("ParseFile() e#5");

  if (ReadLine(count).empty()) Fail("ParseFile(): Unexpected empty line");
  ReadLine(count);
  line = ReadLine(count);
  if (Contains(line, "*** Verifying JAR SECURITY ENVELOPE")) line = ReadLine(count);
  if (line.empty()) Fail("ParseFile(): Unexpected empty line");

  // "Archive created <19>, modified <19>": with 1-based positions, m is just after "modified " and
  // the created date is m - 28 characters long.
  {
    const size_t modified = line.find("modified ");
    const size_t created = line.find("created ");
    if (modified != std::string_view::npos) modifiedDate = line.substr(modified + 9);
    if (created != std::string_view::npos) {
      const std::string_view rest = line.substr(created + 8);
      if (modified != std::string_view::npos) {
        const int64_t m = static_cast<int64_t>(modified) + 9 + 1;
        createdDate = rest.substr(0, static_cast<size_t>(std::max<int64_t>(0, m - 28)));
      } else {
        // Without a modified date the arithmetic has nothing to measure from: up to a comma.
        createdDate = Trim(rest.substr(0, rest.find(',')));
      }
    }
  }

  // Flags and comment, up to the chapter line.
  line = ReadLine(count);
  {
    UpdateScope<JarCommentSink> commentUpdate(memo);
    memo.Clear();
    hasComment = false;
    if (!HasChapterMarker(line)) {
      if (IsFlagsLine(line)) {
        archiveFlags = line;
        line = ReadLine(count);
      }
      const int64_t start = count;
      while (!HasChapterMarker(line) && count - start <= kCommentLimit && !listingStream.AtEnd()) {
        useArchiveComment = hasComment = true;
        memo.AddLine(std::string(line));
        line = ReadLine(count);
      }
      if (listingStream.AtEnd()) Fail("ParseFile(): Premature end of output file");
      if (count - start > kCommentLimit) Fail("ParseFile() e#11");
    }
  }

  if (Contains(line, kCurrentChapter)) {
    currentChapters = From(line, 17);
    chaptersFromHeader = true;
  } else if (Contains(line, kChapterRange)) {
    currentChapters = From(line, 23);
  }

  if (!Contains(ReadLine(count), "Analyzing")) Fail("ParseFile() e#12");
  if (!ReadLine(count).empty()) Fail("ParseFile e#13");

  list.BeginUpdate();
  list.Clear();
  list.EndUpdate();

  // The first folder line, or the totals of an empty archive. A folder name may hold " directory":
  // the marker that counts is the last one.
  std::string folder;
  line = ReadLine(count);
  if (const size_t dir = line.rfind(" directory"); dir != std::string_view::npos) {
    if (dir > 0 && line[dir - 1] == 't')
      folder = "\\";
    else
      folder = QuotedFolder(line, dir);
  } else if (line.starts_with("Total files")) {
    totalFiles = dataRatio = totalBytes = "0";
    return;
  } else {
    Fail("ParseFile() e#14");
  }

  ReadLine(count);
  ReadLine(count);
  UpdateScope<JarListSink> rows(list);
  TakeMember(list, parseMode, ReadLine(count), folder, chaptersFromHeader, currentChapters);
  for (;;) {
    line = ReadLine(count);
    if (line.starts_with("Total") || listingStream.AtEnd()) break;
    while (line.size() > 20 && !listingStream.AtEnd()) {
      TakeMember(list, parseMode, line, folder, chaptersFromHeader, currentChapters);
      line = ReadLine(count);
    }
    line = ReadLine(count);
    if (Contains(line, "Total files listed")) break;
    const size_t quote = line.rfind("\" directory");
    if (quote == std::string_view::npos) Fail("ParseFile() e#17");
    folder = quote > 0 ? line.substr(1, quote - 1) : std::string_view{};
  }

  if (Contains(line, "Total files listed:")) totalFiles = line.substr(line.find(':') + 1);
  line = ReadLine(count);
  if (Contains(line, "Total bytes in files listed:")) totalBytes = From(line, line.find(':') + 2);
  line = ReadLine(count);
  if (Contains(line, "Whole archived data ratio:")) {
    const size_t equals = line.find('=');
    dataRatio = equals == std::string_view::npos ? std::string_view("?") : Trim(Middle(line, equals + 2, 6));
  }

  if (Contains(archiveFlags, "SECURED")) {
    line = ReadLine(count);
    if (!listingStream.AtEnd() && Contains(line, "*** Valid JAR SECURITY envelope signature:")) {
      line = ReadLine(count);
      if (line.size() > 4) securitySignature = line.substr(4);
    }
  }
}
