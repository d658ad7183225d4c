#include "Command.h"

#include <array>
#include <cctype>
#include <string>
#include <utility>

namespace jar32::cli {

namespace {
constexpr std::array<std::pair<std::string_view, Command>, 15> kWords{{
    {"a", Command::Add},
    {"u", Command::Update},
    {"f", Command::Freshen},
    {"m", Command::Move},
    {"ac", Command::AddChapter},
    {"d", Command::Delete},
    {"da", Command::DeleteAll},
    {"dc", Command::DeleteChapters},
    {"e", Command::Extract},
    {"x", Command::ExtractFolders},
    {"l", Command::List},
    {"t", Command::Test},
    {"y", Command::Copy},
    {"rh", Command::RecoverHeader},
    {"CFG", Command::WriteConfig},
}};
}  // namespace

std::optional<Command> commandFromWord(std::string_view word) {
  std::string lower;
  for (char c : word) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  for (const auto& [w, cmd] : kWords) {
    std::string wl;
    for (char c : w) wl.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (wl == lower) return cmd;
  }
  return std::nullopt;
}

std::string_view commandWord(Command command) {
  for (const auto& [w, cmd] : kWords)
    if (cmd == command) return w;
  return "?";
}

}  // namespace jar32::cli
