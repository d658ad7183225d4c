#include "mainwindow/LongPathName.h"

#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/Files.h"
#include "platform/Paths.h"

std::string LongPathName(const std::string& path) {
  std::string name = path;
  const bool trailing = name.size() > 1 && name.back() == '/';
  if (trailing) name.pop_back();

  std::unique_ptr<char, decltype(&std::free)> resolved(name.empty() ? nullptr : ::realpath(name.c_str(), nullptr),
                                                       &std::free);
  if (!resolved) {
    const std::string folder = platform::FolderPart(name);
    if (!folder.empty() && !platform::IsFolder(folder)) throw PathFailure{"Directory doesn't exist"};
    throw PathFailure{"File doesn't exist"};
  }
  std::string result = resolved.get();
  if (trailing && result != "/") result += '/';
  return result;
}
