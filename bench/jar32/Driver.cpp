// Benchmark driver for the archive engine (no switches, no listing layout, just the work):
//   jar32_bench_driver a ARCHIVE FOLDER [METHOD]   add FOLDER's tree (names relative to it)
//   jar32_bench_driver l ARCHIVE                   load the directory and format one line per member
//   jar32_bench_driver t ARCHIVE                   test
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "jar32/Archive.h"
#include "jar32/Changes.h"

namespace fs = std::filesystem;
using namespace jar32;

namespace {

int add(const std::string& archive, const std::string& folder, int method) {
  std::vector<SourceFile> files;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
    struct stat st;
    if (lstat(it->path().c_str(), &st) != 0) continue;
    SourceFile f;
    f.hostPath = it->path().string();
    std::string name = fs::relative(it->path(), folder).string();
    for (auto& c : name)
      if (c == '/') c = '\\';
    f.meta.name = name;
    f.meta.mtime = st.st_mtime;
    f.meta.mode = st.st_mode & 07777;
    if (S_ISDIR(st.st_mode)) f.meta.kind = MemberKind::Folder;
    else if (S_ISLNK(st.st_mode)) continue;
    else f.meta.kind = MemberKind::File;
    files.push_back(std::move(f));
  }
  WriteSettings s;
  s.method = method;
  AddReport r = addFiles(archive, files, AddMode::Add, false, false, ChapterCompare::SizeAndTime, s,
                         nullptr);
  std::printf("added %zu\n", r.added);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s a|x|l|t ARCHIVE [FOLDER] [METHOD]\n", argv[0]);
    return 7;
  }
  std::string cmd = argv[1], archive = argv[2];
  try {
    if (cmd == "a" && argc >= 4) return add(archive, argv[3], argc >= 5 ? std::atoi(argv[4]) : 0);
    auto a = Archive::open(archive, "");
    std::vector<size_t> all(a->members().size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    if (cmd == "l") {
      std::string out;
      char line[512];
      for (const auto& m : a->members()) {
        int n = std::snprintf(line, sizeof line, "%10llu  %s <%u-%u>\n", (unsigned long long)m.size,
                              m.name.c_str(), m.chapters.first, m.chapters.last);
        out.append(line, size_t(n));
      }
      std::printf("%zu members, %zu bytes of listing\n", a->members().size(), out.size());
    } else if (cmd == "t") {
      a->test(nullptr);
    } else {
      return 7;
    }
  } catch (const JarError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return e.exitCode;
  }
  return 0;
}
