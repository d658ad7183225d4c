// What the reference archives of tests/data/jar32-format*/ hold, and a check of extracted files.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "JarRun.h"

namespace e2e::reference {

inline std::string guide(bool chapterTwo) {
  std::string text;
  for (int i = 1; i <= 300; ++i) text += "guide line " + std::to_string(i) + "\n";
  return chapterTwo ? text + "added in chapter 2\n" : text;
}

inline std::string count() {
  std::string text;
  for (int i = 1; i <= 2000; ++i) text += std::to_string(i) + "\n";
  return text;
}

inline std::string tool() {
  std::string data = std::string("\x7f" "ELF\x02\x01\x01", 7) + std::string(9, '\0');
  for (int i = 0; i < 6000; ++i) {
    const char call[] = {'\xE8', char(i & 0xFF), char((i >> 8) & 0xFF), 0, 0, '\x48', '\x89', '\xC7', '\x90'};
    data.append(call, sizeof call);
  }
  return data;
}

inline std::string sparse() {
  std::string data(1 << 20, '\0');
  data.replace(524288, 5, "holes");
  return data;
}

struct Expected {
  std::string path, content;
  int64_t sec;
  long nsec;
  unsigned mode;
};

inline void expectFiles(const fs::path& root, const std::vector<Expected>& files) {
  for (const Expected& e : files) {
    SCOPED_TRACE(root / e.path);
    struct stat st{};
    ASSERT_EQ(lstat((root / e.path).c_str(), &st), 0);
    EXPECT_EQ(readFile(root / e.path), e.content);
    EXPECT_EQ(st.st_mtim.tv_sec, e.sec);
    EXPECT_EQ(st.st_mtim.tv_nsec, e.nsec);
    EXPECT_EQ(st.st_mode & 07777, e.mode);
  }
}

inline const std::vector<Expected> kLastChapter = {
    {"readme.txt", "Read me first.\n", 1700000000, 123456789, 0444},
    {"empty.txt", "", 1700000000, 123456789, 0644},
    {"docs/guide.txt", guide(true), 1700001000, 0, 0644},
    {"bin/tool", tool(), 1700000200, 0, 0755}};

}  // namespace e2e::reference
