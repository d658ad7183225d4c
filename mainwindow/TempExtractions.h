#pragma once
// Private folders for members taken out of the archive (opened or dragged out). Each process owns
// one folder "tamber-extract-<pid>" (mode 0700) under the temporary folder, marked with its pid and
// start time; a new folder (0700) inside it serves each extraction. The owner removes it when the
// archive is closed and when it ends; the folders of a process that is gone (a crashed run) are
// removed at the next start.

#include <string>

class TempExtractions {
 public:
  static constexpr const char* kPrefix = "tamber-extract-";
  static constexpr const char* kOwnerFile = ".owner";

  TempExtractions() = default;
  TempExtractions(const TempExtractions&) = delete;
  TempExtractions& operator=(const TempExtractions&) = delete;
  ~TempExtractions() { RemoveAll(); }

  // A new empty folder (0700) in this process's folder under base; "" when it cannot be made.
  std::string NewFolder(const std::string& base);
  // Removes this process's folder and everything in it.
  void RemoveAll();
  // This process's folder, "" before the first NewFolder.
  const std::string& root() const { return root_; }

  // Removes the folders under base left by processes that are gone (only folders of this user,
  // never through a symbolic link). The number removed.
  static int ClearStale(const std::string& base);
  // The text of the owner mark of this process: "<pid> <start time>".
  static std::string OwnerMark();
  // The owner mark of a process that runs now, "" when there is none with that pid.
  static std::string OwnerMarkOf(long pid);

 private:
  std::string root_;
  unsigned next_ = 0;
};
