#include "TestSupport.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace jar32::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "jar32-core-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::string s = readFile(path);
  return {s.begin(), s.end()};
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  writeFile(path, std::string(bytes.begin(), bytes.end()));
}

std::string sampleText(size_t size, unsigned seed) {
  static const char* words[] = {"alpha ", "beta ", "gamma ", "delta\n", "archive ", "chapter ",
                                "member ", "block ", "42 ", "tamber "};
  std::mt19937 rng(seed);
  std::string s;
  s.reserve(size + 16);
  while (s.size() < size) s += words[rng() % 10];
  s.resize(size);
  return s;
}

std::string randomBytes(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (auto& c : s) c = char(rng());
  return s;
}

int waitChild(int pid, int seconds) {
  const int fd = int(syscall(SYS_pidfd_open, pid, 0));
  if (fd >= 0) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, seconds * 1000);
    close(fd);
    if (ready == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      return -1;
    }
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return status;
}

SourceFile source(const std::string& hostPath, const std::string& name, int64_t mtime) {
  // The engine stores the time the file has when it is read: give it the one wanted.
  const timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
  ::utimensat(AT_FDCWD, hostPath.c_str(), times, 0);
  SourceFile f;
  f.hostPath = hostPath;
  f.meta.name = name;
  f.meta.kind = MemberKind::File;
  f.meta.mtime = mtime;
  f.meta.mode = 0644;
  f.meta.attributes = kAttrArchive;
  return f;
}

SourceFile folderSource(const std::string& name) {
  SourceFile f;
  f.meta.name = name;
  f.meta.kind = MemberKind::Folder;
  f.meta.mtime = 1700000000;
  f.meta.mode = 0755;
  f.meta.attributes = kAttrDirectory;
  return f;
}

namespace {
struct Collect : MemberVisitor {
  std::map<std::string, std::string>* out;
  bool withChapters;
  std::string current;
  bool begin(size_t, const MemberInfo&) override {
    current.clear();
    return true;
  }
  void data(const uint8_t* p, size_t n) override { current.append(reinterpret_cast<const char*>(p), n); }
  void end(size_t, const MemberInfo& m, MemberStatus s) override {
    EXPECT_EQ(s, MemberStatus::Ok) << m.name;
    std::string key = m.name;
    if (withChapters)
      key += " <" + std::to_string(m.chapters.first) + "-" + std::to_string(m.chapters.last) + ">";
    (*out)[key] = current;
  }
};
}  // namespace

std::map<std::string, std::string> readAll(Archive& a, bool withChapters) {
  std::map<std::string, std::string> out;
  Collect c;
  c.out = &out;
  c.withChapters = withChapters;
  std::vector<size_t> all(a.members().size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = i;
  a.read(all, c, false);
  return out;
}

std::vector<std::string> listing(Archive& a) {
  std::vector<std::string> out;
  for (const auto& m : a.members())
    out.push_back(m.name + " <" + std::to_string(m.chapters.first) + "-" +
                  std::to_string(m.chapters.last) + ">");
  std::sort(out.begin(), out.end());
  return out;
}

AddReport add(const std::string& archive, const std::vector<SourceFile>& files,
              const WriteSettings& settings, AddMode mode) {
  return addFiles(archive, files, mode, false, false, ChapterCompare::SizeAndTime, settings,
                  nullptr);
}

AddReport addChapter(const std::string& archive, const std::vector<SourceFile>& files,
                     ChapterCompare compare, const WriteSettings& settings) {
  return addFiles(archive, files, AddMode::Add, false, true, compare, settings, nullptr);
}

}  // namespace jar32::test
