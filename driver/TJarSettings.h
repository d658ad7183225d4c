#pragma once
// The configuration values a run reads, and for the length of some runs adjusts (showDosbox).
// The configuration object derives from this, so the job and the configuration share one copy.

#include <cstdint>
#include <string>

struct TJarSettings {
  std::string password;                  // archive password; empty for none
  std::string theJar32Exe = "jar32.exe"; // the archiver program
  bool showDosbox = false;               // run in a terminal window, nothing captured
  int32_t jar32Priority = 0;             // 0 normal, 1 high, 2 realtime

  virtual ~TJarSettings() = default;
};
