#pragma once
// Bytes for the window's tests: a file's content, data that does not compress (so that a member's
// stored bytes can be found in its archive), and an overwrite in place that damages an archive.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "platform/Files.h"

inline std::string Content(const std::string& path) {
  std::string data;
  platform::ReadWholeFile(path, data);
  return data;
}

inline std::string Noise(size_t size, uint32_t seed) {
  std::string data(size, '\0');
  for (char& c : data) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return data;
}

inline void Overwrite(const std::string& path, size_t offset, const std::string& bytes) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(file.good()) << path;
}
