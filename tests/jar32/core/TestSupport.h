// Helpers for the engine tests: a scratch folder, files on disk, reading members back.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "jar32/Archive.h"
#include "jar32/Changes.h"

namespace jar32::test {

/// The exit code of the error f throws (kOk when none), and its message when asked.
inline int codeOf(const std::function<void()>& f, std::string* message = nullptr) {
  try {
    f();
  } catch (const JarError& e) {
    if (message) *message = e.what();
    return e.exitCode;
  }
  return kOk;
}

/// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
std::vector<uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
/// Deterministic text-like content that compresses moderately.
std::string sampleText(size_t size, unsigned seed);
std::string randomBytes(size_t size, unsigned seed);

/// Waits for a forked child at most `seconds` (then kills it); its wait status, or -1.
int waitChild(int pid, int seconds = 60);

/// A SourceFile for a file on disk with the given member name; the file gets that mtime.
SourceFile source(const std::string& hostPath, const std::string& name, int64_t mtime = 1700000000);
SourceFile folderSource(const std::string& name);

/// Reads the given members (all when empty) into name -> content ("name <first-last>" keys
/// when withChapters).
std::map<std::string, std::string> readAll(Archive& a, bool withChapters = false);
/// Names with their chapter ranges, e.g. "a.txt <1-2>", sorted.
std::vector<std::string> listing(Archive& a);

/// Collects warnings and member steps.
struct RecordingProgress : Progress {
  std::vector<std::string> warnings;
  std::vector<std::pair<Step, std::string>> steps;
  void member(Step s, const MemberInfo& m) override { steps.push_back({s, m.name}); }
  void warning(const std::string& text) override { warnings.push_back(text); }
};

/// Adds the files with default settings (method, password as given).
AddReport add(const std::string& archive, const std::vector<SourceFile>& files,
              const WriteSettings& settings = {}, AddMode mode = AddMode::Add);
AddReport addChapter(const std::string& archive, const std::vector<SourceFile>& files,
                     ChapterCompare compare = ChapterCompare::SizeAndTime,
                     const WriteSettings& settings = {});

}  // namespace jar32::test
