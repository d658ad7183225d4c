#include "Invocation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

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
  // Not blocking: a FIFO must not hold the run up before it is found to be one.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw UsageError("cannot read the argument file " + path + ": " + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st;
  if (::fstat(fd, &st) != 0)
    throw UsageError("cannot read the argument file " + path + ": " + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) throw UsageError("the argument file " + path + " is a folder");
  if (!S_ISREG(st.st_mode))
    throw UsageError("the argument file " + path + " is not a regular file (a pipe, device or socket)");
  if (static_cast<std::uintmax_t>(st.st_size) > kMaxArgumentFile)
    throw UsageError("argument file too large (more than 512 MiB): " + path);
  std::string text(static_cast<size_t>(st.st_size), '\0');
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw UsageError("cannot read the argument file " + path + ": " + std::strerror(errno));
    if (n == 0) break;  // it became shorter meanwhile
    done += static_cast<size_t>(n);
  }
  text.resize(done);
  return text;
}

void readFileList(const std::string& path, NameList& names) {
  forEachToken(readArgumentFile(path), [&](Token&& t) {
    if (!t.text.empty()) names.push_back(t.text);
  });
}

std::optional<Command> leadingCommand(const std::vector<Token>& items) {
  if (items.empty() || items[0].quoted()) return std::nullopt;
  return commandFromWord(items[0].text);
}

void InvocationBuilder::add(Token&& t) {
  if (!started_) {
    started_ = true;
    first_ = t.text;
    if (!t.quoted()) command_ = commandFromWord(t.text);
    if (!command_) throw UsageError("unknown command: " + t.text + " (jar32.exe --help lists them)");
    inv_.command = *command_;
    return;
  }
  if (inv_.command == Command::DeleteChapters && looksLikeRange(t) &&
      (haveArchive_ || isSwitch(t))) {
    if (inv_.deleteRange) throw UsageError("more than one chapter range: " + t.text);
    auto range = parseChapterRange(t.text);
    if (!range) throw UsageError("bad chapter range: " + t.text);
    inv_.deleteRange = range;
    return;
  }
  if (isSwitch(t)) {
    Options probe;
    applySwitch(t, probe);  // a bad switch is reported where it stands
    switches_.push_back(std::move(t));
    return;
  }
  if (t.text == "-" && !t.quoted()) throw UsageError("unknown switch: -");
  if (!haveArchive_) {
    if (t.text.empty()) throw UsageError("empty archive name");
    if (isListFile(t)) throw UsageError("a file list cannot stand for the archive: " + t.text);
    inv_.archive = std::move(t.text);
    haveArchive_ = true;
    return;
  }
  if (isListFile(t)) listReader_(t.text.substr(1), inv_.names);
  else if (!t.text.empty()) inv_.names.push_back(t.text);
}

Invocation InvocationBuilder::finish(const Options& defaults) {
  if (!started_) throw UsageError("no command given");
  if (!haveArchive_) {
    if (inv_.command == Command::WriteConfig) throw UsageError("CFG needs the name of the file to write");
    throw UsageError("no archive name given");
  }
  if (inv_.command == Command::DeleteChapters && !inv_.deleteRange)
    throw UsageError("dc needs a chapter range (for example 2-3, 4-, -2, or - for all)");
  inv_.options = defaults;
  for (const Token& t : switches_) applySwitch(t, inv_.options);
  switches_.clear();
  return std::move(inv_);
}

Invocation parseInvocation(const std::vector<Token>& items, const Options& defaults,
                           FileListReader listReader) {
  InvocationBuilder builder(listReader);
  for (const Token& t : items) builder.add(Token(t));
  return builder.finish(defaults);
}

}  // namespace jar32::cli
