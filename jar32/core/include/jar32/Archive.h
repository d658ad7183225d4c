// Read side of an existing archive: header, directory, member data, verification.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "jar32/Errors.h"
#include "jar32/Member.h"
#include "jar32/Progress.h"

namespace jar32 {

class ArchiveReader;  // internal

struct OpenOptions {
  /// A secured archive's envelope is verified first (kCrcError when it is broken); false (-he)
  /// reads the archive without that test.
  bool testEnvelope = true;
  /// Recovery records: found and left out (Locate), every sector checked (Check, for t), or
  /// the damage they can repair read repaired (Repair, -hx). See info().records.
  RecordsUse records = RecordsUse::Locate;
  /// Only the versions in these chapters make members() (a 0 bound is open; {0,0}: all), and
  /// those outside are not decoded further than counting them needs (info().versionCount,
  /// unpackedBytes). lastChapterOnly: the archive's last chapter, whatever chapters says.
  ChapterRange chapters{0, 0};
  bool lastChapterOnly = false;
};

class Archive {
 public:
  /// Opens an archive and loads its directory. password "" = none given.
  /// Throws JarError: kOpenError (cannot open), kNotJar (no signature, too short),
  /// kCrcError (header damaged and nothing found by scanning), kFatal with kMsgPasswordNeeded
  /// (HIDDEN archive, no password) or kMsgWrongPassword (a given password does not fit a
  /// protected archive). A password given for an unprotected archive is ignored.
  /// A damaged directory falls back to scanning the member records (info().directoryRebuilt).
  /// The first volume of a set opens the whole set; a missing volume throws kOpenError naming it.
  static std::unique_ptr<Archive> open(const std::string& path, const std::string& password,
                                       const OpenOptions& options = {});

  ~Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  const ArchiveInfo& info() const;
  /// Every stored version (in the chapters asked for), in storage order. Indices into this
  /// vector identify members below.
  const std::vector<MemberInfo>& members() const;

  /// Streams the chosen members (indices into members(), any order, duplicates ignored) to the
  /// visitor in storage order; each solid block is decoded once. A protected archive opened
  /// without a password throws kMsgPasswordNeeded. Damage: see MemberVisitor::end().
  void read(const std::vector<size_t>& which, MemberVisitor& visitor, bool skipBroken);

  /// Verifies every member and the archive structure. Reports each member to progress->tested().
  /// Throws JarError(kCrcError) when anything is damaged (after testing everything else), and
  /// kMsgPasswordNeeded for a protected archive opened without a password.
  void test(Progress* progress);

 private:
  explicit Archive(std::unique_ptr<ArchiveReader> reader);
  std::unique_ptr<ArchiveReader> reader_;
  friend class ArchiveAccess;  // internal: change functions reuse the open reader
};

}  // namespace jar32
