// Callbacks from the engine to the program: progress lines, warnings, interruption, member data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "jar32/Member.h"

namespace jar32 {

/// What is happening to a member (for progress lines).
enum class Step {
  Adding,      // new name
  Replacing,   // new version replaces or follows an older one
  Unchanged,   // ac: the existing version now also covers the new chapter
  Skipping,    // not added (mode, -n, unreadable: see warnings)
  Deleting,
  Testing,
};

class Progress {
 public:
  virtual ~Progress() = default;
  virtual void member(Step, const MemberInfo&) {}
  /// test(): result of one member (ok false = damaged; the run ends with kCrcError).
  virtual void tested(const MemberInfo&, bool /*ok*/) {}
  /// Something skipped or ignored; the program should end with kWarning.
  virtual void warning(const std::string&) {}
  /// Polled between pieces of work; true makes the engine stop with JarError(kInterrupted).
  virtual bool interrupted() { return false; }
};

enum class MemberStatus { Ok, Damaged };

/// Receives member data from Archive::read(), in storage order.
class MemberVisitor {
 public:
  virtual ~MemberVisitor() = default;
  /// Before a member. Return false to skip it (no data()/end() calls for it follow).
  virtual bool begin(size_t index, const MemberInfo&) = 0;
  /// The member's data in pieces (never called for folders and links).
  virtual void data(const uint8_t* bytes, size_t size) = 0;
  /// After the member. Damaged: its data failed the checksum or could not be decoded; without
  /// skipBroken the read then throws JarError(kCrcError) right after this call.
  virtual void end(size_t index, const MemberInfo&, MemberStatus) = 0;
  /// Polled between pieces; true stops the read with JarError(kInterrupted).
  virtual bool interrupted() { return false; }
};

}  // namespace jar32
