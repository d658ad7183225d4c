// The commands of jar32.exe.
#pragma once

#include <optional>
#include <string_view>

namespace jar32::cli {

enum class Command {
  Add,             // a
  Update,          // u
  Freshen,         // f
  Move,            // m
  AddChapter,      // ac
  Delete,          // d
  DeleteAll,       // da
  DeleteChapters,  // dc
  Extract,         // e (without folders)
  ExtractFolders,  // x
  List,            // l
  Test,            // t
  Copy,            // y
  RecoverHeader,   // rh
  WriteConfig,     // CFG
};

/// The command for a command word (letters in either case), or nothing.
std::optional<Command> commandFromWord(std::string_view word);
/// The command's word as written on the command line ("a", "ac", "CFG", ...).
std::string_view commandWord(Command);

inline bool isAddGroup(Command c) {
  return c == Command::Add || c == Command::Update || c == Command::Freshen || c == Command::Move ||
         c == Command::AddChapter;
}
inline bool isExtractGroup(Command c) {
  return c == Command::Extract || c == Command::ExtractFolders;
}
inline bool isDeleteGroup(Command c) {
  return c == Command::Delete || c == Command::DeleteAll || c == Command::DeleteChapters;
}
/// Commands that change an existing archive (or make a new one).
inline bool changesArchive(Command c) {
  return isAddGroup(c) || isDeleteGroup(c) || c == Command::Copy;
}

}  // namespace jar32::cli
