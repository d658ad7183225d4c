// Generates a listing of a million members (nested folders, varied names, a chapter range on every
// line), then parses it with OpenOutputFile into a row store and an int-ranged progress bar.
// Prints seconds, MB/s, lines/s and the peak memory of the process.
//
//   bench_listing_parser [members]

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "driver/ArchiveRowStore.h"
#include "driver/TJarExec_unit.h"

namespace {

class PrintingPrompter : public platform::Prompter {
 public:
  void error(const std::string& text) override { std::cerr << "error box: " << text << "\n"; }
  void info(const std::string& text) override { std::cerr << "info box: " << text << "\n"; }
  platform::Button ask(platform::BoxKind, const std::string& text, unsigned buttons) override {
    std::cerr << "question box: " << text << "\n";
    return platform::DismissAnswer(buttons);
  }
  void plain(const std::string& text) override { std::cerr << "box: " << text << "\n"; }
};

class StoreSink : public JarListSink {
 public:
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void Clear() override { store.Clear(); }
  void AddRow(const ArchiveEntryRow& row) override { store.Add(row); }
  bool SortingEnabled() const override { return sorting; }
  void SetSortingEnabled(bool enabled) override { sorting = enabled; }
  ArchiveRowStore store;
  bool sorting = true;
};

class MemoSink : public JarCommentSink {
 public:
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void Clear() override { lines.clear(); }
  void AddLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

// Like a real bar: an int range, the position kept inside it.
class IntBar : public JarProgressSink {
 public:
  void SetMaximum(int64_t maximum) override { max_ = static_cast<int>(std::clamp<int64_t>(maximum, 0, INT_MAX)); }
  int64_t Maximum() const override { return max_; }
  void SetPosition(int64_t position) override { position_ = static_cast<int>(std::clamp<int64_t>(position, 0, max_)); }
  void Show() override { visible_ = true; }
  void Hide() override { visible_ = false; }
  int position() const { return position_; }

 private:
  int max_ = 100, position_ = 0;
  bool visible_ = false;
};

std::string Thousands(uint64_t value) {
  std::string digits = std::to_string(value), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// Writes the listing; returns the number of lines.
class ListingWriter {
 public:
  explicit ListingWriter(std::FILE* file) : file_(file) { buffer_.reserve(kFlush + 4096); }
  ~ListingWriter() { Flush(); }
  void Line(const std::string& text) {
    buffer_ += text;
    buffer_ += '\n';
    ++lines;
    if (buffer_.size() >= kFlush) Flush();
  }
  void Flush() {
    std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
    buffer_.clear();
  }
  uint64_t lines = 0;

 private:
  static constexpr size_t kFlush = size_t{1} << 20;
  std::FILE* file_;
  std::string buffer_;
};

uint64_t GenerateListing(const std::string& fileName, uint64_t members) {
  static const char* const kWords[] = {"project", "report",  "backup", "src",    "docs",    "images", "data",
                                       "Final",   "draft",   "notes",  "build",  "test",    "Budget", "photo",
                                       "invoice", "letter",  "music",  "video",  "archive", "config", "old copy",
                                       "résumé",  "Sommer",  "café",   "x86_64", "lib",     "module", "readme"};
  static const char* const kExtensions[] = {".txt", ".cpp", ".h", ".jpg", ".pdf", ".doc", ".xls", ".png",
                                            ".mp3", ".zip", ".json", ".md", "", ".tar.gz", ".html", ".log"};
  std::mt19937_64 random(20261208);
  auto pick = [&random](uint64_t n) { return static_cast<size_t>(random() % n); };
  auto word = [&] { return std::string(kWords[pick(std::size(kWords))]); };

  // Folders three levels deep, listed in byte order after the root.
  std::vector<std::string> folders;
  for (int a = 0; a < 40; ++a) {
    std::string top = word() + "_" + std::to_string(a) + "\\";
    folders.push_back(top);
    for (int b = 0; b < 8; ++b) {
      std::string middle = top + word() + " " + std::to_string(b) + "\\";
      folders.push_back(middle);
      for (int c = 0; c < 6; ++c) folders.push_back(middle + word() + "-" + std::to_string(c) + "\\");
    }
  }
  std::sort(folders.begin(), folders.end());

  std::FILE* file = std::fopen(fileName.c_str(), "wb");
  if (!file) {
    std::cerr << "cannot write " << fileName << "\n";
    std::exit(1);
  }
  uint64_t lines = 0, bytes = 0;
  {
    ListingWriter out(file);
    out.Line("JAR 1.02 (stand-in for Linux): real archives with chapters and recovery records");
    out.Line("Copyright (c) 2026 the Tamber developers");
    out.Line("Processing archive: /home/user/big.j");
    out.Line("Archive format 1, 9 chapters, " + std::to_string(members) + " members");
    out.Line("");
    out.Line("Archive created 2026-12-08 10:00:00, modified 2026-12-08 10:05:31");
    out.Line("RECOVERY RECORDS");
    out.Line("A large generated archive.");
    out.Line("Chapter range selected: 1-9");
    out.Line("Analyzing archive...");
    out.Line("");

    const uint64_t perGroup = members / (folders.size() + 1) + 1;
    uint64_t made = 0;
    char line[512];
    for (size_t group = 0; group <= folders.size() && made < members; ++group) {
      if (group == 0) {
        out.Line("Root directory");
        out.Line("      Size Attr   Modified             Name");
        out.Line("---------- ----   -------------------  ----------------------------------------");
      } else {
        out.Line("\"" + folders[group - 1] + "\" directory");
      }
      const uint64_t count =
          group == folders.size() ? members - made : std::min(members - made, perGroup / 2 + pick(perGroup));
      for (uint64_t i = 0; i < count; ++i, ++made) {
        const bool folder = pick(20) == 0;
        const uint64_t size = folder ? 0 : (random() >> (34 + pick(30)));  // below 2^30: ten digits
        std::string name = word();
        if (pick(3) == 0) name.append(" ").append(word());
        name.append("_").append(std::to_string(i));
        if (pick(10) == 0) name += std::string(pick(40), 'x');
        name += folder ? std::string("\\") : std::string(kExtensions[pick(std::size(kExtensions))]);
        const unsigned first = 1 + static_cast<unsigned>(pick(9));
        const unsigned last = first + static_cast<unsigned>(pick(10 - first));
        std::snprintf(line, sizeof line, "%10llu  %s   2026-%02u-%02u %02u:%02u:%02u  %s <%u-%u>",
                      static_cast<unsigned long long>(size), folder ? "D---" : "A---",
                      1 + static_cast<unsigned>(pick(12)), 1 + static_cast<unsigned>(pick(28)),
                      static_cast<unsigned>(pick(24)), static_cast<unsigned>(pick(60)),
                      static_cast<unsigned>(pick(60)), name.c_str(), first, last);
        out.Line(line);
        bytes += size;
      }
      out.Line("");
    }
    out.Line("Total files listed: " + std::to_string(made));
    out.Line("Total bytes in files listed: " + Thousands(bytes));
    out.Line("Whole archived data ratio: " + Thousands(bytes / 3) + " / " + Thousands(bytes) + " = 33.3%");
    lines = out.lines;
  }
  std::fclose(file);
  return lines;
}

double CpuSeconds() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakMemoryKb() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t members = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1'000'000;
  const std::string fileName =
      (std::filesystem::temp_directory_path() / ("tamber-bench-listing-" + std::to_string(::getpid()) + ".txt"))
          .string();
  const uint64_t lines = GenerateListing(fileName, members);
  const double megabytes = static_cast<double>(std::filesystem::file_size(fileName)) / 1e6;
  std::printf("listing: %llu members, %llu lines, %.1f MB\n", static_cast<unsigned long long>(members),
              static_cast<unsigned long long>(lines), megabytes);
  std::printf("peak memory before parsing: %.1f MB\n", PeakMemoryKb() / 1024.0);

  TJarSettings settings;
  PrintingPrompter prompter;
  TJar jar(settings, prompter);
  StoreSink list;
  MemoSink memo;
  IntBar bar;
  jar.listView = &list;
  jar.commentMemo = &memo;
  jar.progressBar = &bar;
  jar.outputFile = fileName;

  int status = 0;
  const char* const modeNames[] = {"full", "folders only", "none"};
  for (int mode : {0, 0, 0, 1, 2}) {
    jar.parseMode = mode;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    try {
      jar.OpenOutputFile();
    } catch (const JarFailure& failure) {
      std::printf("parse failed: %s\n", failure.text.c_str());
      status = 1;
      break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuStart;
    std::printf("%-12s %6.3f s (cpu %.3f s)  %5.0f MB/s  %5.2f M lines/s  %7zu rows  store %.1f MB  bar %d of %lld\n",
                modeNames[mode], seconds, cpu, megabytes / seconds, static_cast<double>(lines) / seconds / 1e6,
                list.store.size(), static_cast<double>(list.store.MemoryBytes()) / 1e6, bar.position(),
                static_cast<long long>(jar.outputSize));
  }
  std::printf("totals: files %s, bytes %s, ratio %s\n", jar.totalFiles.c_str(), jar.totalBytes.c_str(),
              jar.dataRatio.c_str());
  std::printf("peak memory: %.1f MB\n", PeakMemoryKb() / 1024.0);
  std::filesystem::remove(fileName);
  return status;
}
