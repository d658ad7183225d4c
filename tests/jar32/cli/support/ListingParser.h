// Test helper: reads a jar32.exe listing back into rows, folders, chapters, flags, comment,
// dates and totals. Written from the listing's published layout, independently of the printer,
// and stricter than the front-end: any deviation is an error.
#pragma once

#include <string>
#include <vector>

namespace listing {

struct Row {
  std::string folder;    // "\" for the root, else "docs\sub\"
  std::string name;      // as shown, folders with a trailing backslash
  std::string size;      // size column without leading blanks
  std::string attributes;
  std::string modified;  // "YYYY-MM-DD hh:mm:ss"
  std::string chapters;  // "<1-3>" in a range listing, else the current chapter ("2")
  std::string fullName() const { return folder == "\\" ? name : folder + name; }
};

struct Parsed {
  bool configWarning = false;
  std::string banner;
  std::string archivePath;   // from "Processing archive: "
  std::string summary;
  std::string created, modified;
  std::string flags;         // the flag line or ""
  std::vector<std::string> comment;
  bool singleChapter = false;
  std::string chapters;      // "2" or "1-3"
  std::vector<std::string> folders;  // in order of their folder lines
  std::vector<Row> rows;
  std::string totalFiles, totalBytes, ratioLine, ratio;
  bool envelopeVerified = false;  // "*** Verifying JAR SECURITY ENVELOPE" before the archive line
  std::string signature;          // the signature line after the totals, without its 4 blanks
};

/// Throws std::runtime_error with the line number and the reason on any deviation.
Parsed parse(const std::string& text);

}  // namespace listing
