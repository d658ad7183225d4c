// The switches of one run, after jar.cfg and the command line were applied.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Tokenizer.h"

namespace jar32::cli {

/// A chapter selection with open bounds (0 = open): -jb3- is {3,0}, -jb-5 is {0,5}.
struct ChapterBounds {
  uint32_t first = 0;
  uint32_t last = 0;
  bool operator==(const ChapterBounds&) const = default;
};

/// -z / -hz: leave the comment alone, remove it (NUL), or read it from a file.
struct CommentSwitch {
  enum class Kind { Unchanged, Remove, FromFile } kind = Kind::Unchanged;
  std::string file;
};

/// -jg on y: keep the password, set a new one, or (-jg- or -jg"") remove the protection.
struct NewPasswordSwitch {
  enum class Kind { Keep, Set, Remove } kind = Kind::Keep;
  std::string password;
};

/// -v switches.
struct VolumeSwitches {
  bool single = false;    // -v-: write one file (joins a set)
  uint64_t size = 0;      // -v<size>: bytes per volume file
  bool autoSize = false;  // -va: each volume as large as the free space allows
  uint64_t reserve = 0;   // -vr<size>: bytes kept free on each volume's file system
  bool inhibit = false;   // -vi: never ask before the next volume
  bool beep = false;      // -vv: a bell on standard error before each further volume
};

struct Options {
  std::optional<std::string> password;  // -g; nothing for -g-
  NewPasswordSwitch newPassword;        // -jg
  int archiveBits = -1;                 // -b0 / -b1 (no effect on Linux); -1 off
  int freshenMode = -1;                 // -f, -f1, -f2: 0 newer, 1 older, 2 changed; -1 off
  int updateMode = -1;                  // -u, -u1, -u2, same values
  int method = 0;                       // -m1..-m4; 0 the default (-m-)
  int timeStamp = -1;                   // -s: 0 newest, -s1: 1 keep old; -1 off
  int lockMode = -1;                    // -jl: 0 archive, -jl1 chapter, -jl2 auto; -1 off
  int chapterMode = -1;                 // -js0/-js1/-js2 (bare -js = 2); -1 off
  int lfnMode = -1;                     // -hf.. (no effect on Linux); -1 off
  int protection = -1;                  // -hg0 / -hg1; -1 off
  std::string listFile;                 // -l
  std::string outputPath;               // -o
  std::string workFolder;               // -w
  CommentSwitch archiveComment;         // -z
  CommentSwitch chapterComment;         // -hz
  std::vector<std::string> unsupported; // "on" forms that are accepted but not yet done
  VolumeSwitches volumes;               // -v, -va, -vr, -vi, -vv, -v-
  bool addRecords = false;              // -hk / -hk<N>: recovery records on the changed archive
  unsigned recordsShare = 3;            // -hk<N>: their share in percent (1..50)
  bool useRecords = false;              // -hx: repair from the records while extracting
  bool sign = false;                    // -hy: sign the changed archive
  bool skipEnvelopeTest = false;        // -he: read a secured archive without testing it
  std::string signerName;               // jar.cfg "signer": the name written into envelopes
  bool includeArchive = true;           // -hba0 leaves out plain files
  bool includeDirectories = true;       // -hbd0 leaves out folder members
  bool includeHidden = true;            // -hbh0 leaves out dot-names
  bool includeReadOnly = true;          // -hbr0 leaves out read-only files
  bool includeSystem = true;            // -hbs0 (nothing is a system file here)
  bool assumeYes = false;               // -y
  bool withDelete = false;              // -d
  bool onlyNew = false;                 // -n
  bool query = false;                   // -q
  bool recurse = false;                 // -r
  bool fullPath = false;                // -jf
  bool recoverBroken = false;           // -jr
  bool testTemp = false;                // -jt
  bool hideContents = false;            // -jx
  bool extendedAttributes = false;      // -ja: keep extended attributes (adding, extracting)
  bool ignoreReadOnly = false;          // -ha
  bool testNew = false;                 // -ht0
  std::optional<ChapterBounds> chapters;  // -jb
  bool showChapterComments = false;     // -jc: the listing prints the chapter comments
  std::vector<std::string> excludes;    // -x
};

/// Applies one switch item (it begins with an unquoted '-'). Throws UsageError for an unknown
/// switch or a malformed value.
void applySwitch(const Token& item, Options& options);

/// Parses a volume size: digits with an optional k, m or g (KiB, MiB, GiB); a plain number
/// below 10000 counts KiB (360, 720, 1440 are the floppy sizes), from 10000 on bytes.
std::optional<uint64_t> parseVolumeSize(const std::string& text);

/// Parses a chapter range "A-B", "A-", "-B", "-" or "A" (decimal, 1..4294967295).
std::optional<ChapterBounds> parseChapterRange(const std::string& text);

}  // namespace jar32::cli
