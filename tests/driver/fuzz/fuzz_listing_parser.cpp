// libFuzzer target: the listing parser on any output. Each input is read in one block larger than
// itself, and in small blocks whose every refill moves the data to a new buffer and frees the old
// one, so AddressSanitizer sees any line used after the reader moved on. Both readings must agree.
//
// The input is the output file as it stands; the small blocks are 1 byte and a size from 2 to 200
// that follows from the input's length.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/ArchiveRowStore.h"
#include "driver/TJarExec_unit.h"

namespace {

class QuietPrompter : public platform::Prompter {
 public:
  void error(const std::string&) override {}
  void info(const std::string&) override {}
  platform::Button ask(platform::BoxKind, const std::string&, unsigned buttons) override {
    return platform::DismissAnswer(buttons);
  }
  void plain(const std::string&) override {}
};

class List : public JarListSink {
 public:
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void Clear() override { rows.Clear(); }
  void AddRow(const ArchiveEntryRow& row) override { rows.Add(row); }  // copies every text of the row
  bool SortingEnabled() const override { return false; }
  void SetSortingEnabled(bool) override {}
  ArchiveRowStore rows;
};

class Memo : public JarCommentSink {
 public:
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void Clear() override { lines.clear(); }
  void AddLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

// The whole outcome of one parse.
std::string Parse(const std::string& file, size_t block, bool moving) {
  TJarSettings settings;
  settings.theJar32Exe = "/nonexistent/jar32.exe";
  QuietPrompter prompter;
  TJar jar(settings, prompter);
  List list;
  Memo memo;
  jar.outputFile = file;
  jar.listView = &list;
  jar.commentMemo = &memo;
  jar.listingStream.SetBlockSize(block);
  jar.listingStream.SetMovingRefills(moving);
  std::string out;
  try {
    jar.OpenOutputFile();
  } catch (const JarFailure& failure) {
    out = "failed: " + failure.text + "\n";
  }
  for (const std::string* field : {&jar.archiveFlags, &jar.createdDate, &jar.modifiedDate, &jar.securitySignature,
                                   &jar.currentChapters, &jar.totalFiles, &jar.totalBytes, &jar.dataRatio})
    out += *field + "|";
  out += jar.hasComment ? "comment\n" : "\n";
  for (const std::string& line : memo.lines) out += line + "\n";
  for (size_t i = 0; i < list.rows.size(); ++i) {
    const ArchiveEntryRow& r = list.rows.Row(i);
    for (std::string_view text : {r.caption, r.size, r.attributes, r.path, r.chapters, r.modified})
      out.append(text).append("|");
    out += std::to_string(r.imageIndex) + "\n";
  }
  return out;
}

std::string TempFile() {
  std::string name = "/tmp/fuzz-listing-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) std::abort();
  ::close(fd);
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string file = TempFile();
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (!out) std::abort();
  std::fwrite(data, 1, size, out);
  std::fclose(out);
  const std::string expected = Parse(file, size + 1, false);
  for (size_t block : {size_t{1}, 2 + size % 199})
    if (Parse(file, block, true) != expected) std::abort();
  return 0;
}
