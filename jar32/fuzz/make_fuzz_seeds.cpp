// Writes small archives into a folder as the fuzzer's starting corpus:
//   jar32_fuzz_seeds FOLDER
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "Crypto.h"
#include "Methods.h"
#include "jar32/Changes.h"

using namespace jar32;

int main(int argc, char** argv) {
  if (argc != 2) return 7;
  const std::string out = argv[1];
  mkdir(out.c_str(), 0755);
  setKdfCostForTesting(1, 8);  // cheap keys so the fuzzer can open protected seeds quickly
  setBlockLimitForTesting(1500);  // several blocks and split members from tiny files
  const std::string src = out + "-src";
  mkdir(src.c_str(), 0755);
  std::vector<SourceFile> files;
  for (int i = 0; i < 4; ++i) {
    std::string path = src + "/f" + std::to_string(i);
    std::ofstream(path) << std::string(size_t(300 + 900 * i), char('a' + i)) << "tail " << i;
    SourceFile f;
    f.hostPath = path;
    f.meta.name = (i % 2 ? "dir\\f" : "f") + std::to_string(i);
    f.meta.mtime = 1000 + i;
    files.push_back(f);
  }
  SourceFile folder;
  folder.meta.name = "dir";
  folder.meta.kind = MemberKind::Folder;
  files.push_back(folder);
  int n = 0;
  for (int method = 1; method <= 4; ++method) {
    for (int prot = -1; prot <= 1; ++prot) {
      for (int hide = 0; hide <= (prot >= 0 ? 1 : 0); ++hide) {
        WriteSettings s;
        s.method = method;
        if (prot >= 0) {
          s.password = "fuzz-password";
          s.protection = prot;
          s.hideContents = hide;
        }
        s.archiveComment = "seed";
        std::string path = out + "/seed" + std::to_string(n++) + ".j";
        std::remove(path.c_str());
        addFiles(path, files, AddMode::Add, false, false, ChapterCompare::SizeAndTime, s, nullptr);
        s.chapterComment = "second";
        addFiles(path, {files[0], files[2]}, AddMode::Add, false, true,
                 ChapterCompare::SizeAndTime, s, nullptr);
      }
    }
  }
  std::printf("%d seeds in %s\n", n, out.c_str());
  return 0;
}
