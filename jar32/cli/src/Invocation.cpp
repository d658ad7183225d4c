#include "Invocation.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "UsageError.h"

namespace jar32::cli {

namespace {

constexpr std::uintmax_t kMaxArgumentFile = 512u << 20;  // a file list of millions of names

bool isSwitch(const Token& t) { return t.text.size() >= 2 && t.text[0] == '-' && !t.literalAt(0); }
bool isListFile(const Token& t) { return t.text.size() >= 2 && t.text[0] == '@' && !t.literalAt(0); }

/// dc's bare range: digits and at most one dash, unquoted.
bool looksLikeRange(const Token& t) {
  if (t.quoted() || t.text.empty()) return false;
  int dashes = 0;
  for (char c : t.text) {
    if (c == '-') ++dashes;
    else if (c < '0' || c > '9') return false;
  }
  return dashes <= 1;
}

}  // namespace

std::string readArgumentFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot read the argument file " + path + ": " + std::strerror(errno));
  in.seekg(0, std::ios::end);
  const auto size = static_cast<std::uintmax_t>(in.tellg());
  if (size > kMaxArgumentFile) throw UsageError("argument file too large: " + path);
  in.seekg(0);
  std::string text(size, '\0');
  in.read(text.data(), static_cast<std::streamsize>(size));
  if (!in) throw UsageError("cannot read the argument file " + path);
  return text;
}

std::vector<std::string> readFileList(const std::string& path) {
  std::vector<std::string> names;
  for (Token& t : tokenize(readArgumentFile(path)))
    if (!t.text.empty()) names.push_back(std::move(t.text));
  return names;
}

std::optional<Command> leadingCommand(const std::vector<Token>& items) {
  if (items.empty() || items[0].quoted()) return std::nullopt;
  return commandFromWord(items[0].text);
}

Invocation parseInvocation(const std::vector<Token>& items, const Options& defaults,
                           FileListReader listReader) {
  if (items.empty()) throw UsageError("no command given");
  const auto command = leadingCommand(items);
  if (!command) throw UsageError("unknown command: " + items[0].text);
  Invocation inv;
  inv.command = *command;
  inv.options = defaults;
  bool haveArchive = false;
  for (size_t i = 1; i < items.size(); ++i) {
    const Token& t = items[i];
    if (inv.command == Command::DeleteChapters && looksLikeRange(t) &&
        (haveArchive || isSwitch(t))) {
      if (inv.deleteRange) throw UsageError("more than one chapter range: " + t.text);
      auto range = parseChapterRange(t.text);
      if (!range) throw UsageError("bad chapter range: " + t.text);
      inv.deleteRange = range;
      continue;
    }
    if (isSwitch(t)) {
      applySwitch(t, inv.options);
      continue;
    }
    if (t.text == "-" && !t.quoted()) throw UsageError("unknown switch: -");
    if (!haveArchive) {
      if (t.text.empty()) throw UsageError("empty archive name");
      if (isListFile(t)) throw UsageError("a file list cannot stand for the archive: " + t.text);
      inv.archive = t.text;
      haveArchive = true;
      continue;
    }
    if (isListFile(t)) {
      for (std::string& name : listReader(t.text.substr(1))) inv.names.push_back(std::move(name));
    } else if (!t.text.empty()) {
      inv.names.push_back(t.text);
    }
  }
  if (!haveArchive) {
    if (inv.command == Command::WriteConfig) throw UsageError("CFG needs the name of the file to write");
    throw UsageError("no archive name given");
  }
  if (inv.command == Command::DeleteChapters && !inv.deleteRange)
    throw UsageError("dc needs a chapter range (for example 2-3, 4-, -2, or - for all)");
  return inv;
}

}  // namespace jar32::cli
