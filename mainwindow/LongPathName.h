#pragma once
// The full name of a path given on the command line: absolute, with every link and "." or ".."
// resolved. A trailing separator stays.

#include <string>

struct PathFailure {
  std::string text;  // "File doesn't exist" or "Directory doesn't exist"
};

// Throws PathFailure when the path does not exist: "Directory doesn't exist" when its folder is
// missing, else "File doesn't exist".
std::string LongPathName(const std::string& path);
