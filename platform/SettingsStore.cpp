#include "platform/SettingsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <utility>

#include "platform/ReplaceFile.h"

// File format (regedit text, version 5.00):
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\TAMBER\Configuration]
//   "theJar32Exe"="jar32.exe"
//   "nrRecentEntries"=dword:00000004
//   "blob"=hex:01,02,ff
//   @="the key's default value"
//
// Names and texts escape \ as \\ and " as \". Extension: a carriage return is written as \r and a
// line feed as \n inside the quotes, so multi-line texts stay on one line. Long hex data continues on
// the next line after a trailing ",\". Reading also accepts CR LF line ends, blank lines, ';' comment
// lines and a UTF-8 byte-order mark. Anything else makes the whole file count as damaged.

namespace platform {

struct SettingsStore::Node {
  std::string name;
  std::vector<std::pair<std::string, SettingsValue>> values;
  std::vector<std::unique_ptr<Node>> children;
};

namespace {

using Node = SettingsStore::Node;

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHive = "HKEY_CURRENT_USER";
constexpr std::string_view kFileName = "registry.reg";
constexpr size_t kHexLineWidth = 76;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// Splits a key path into its names, skipping empty ones; nullopt when a name holds a control
// character (it could not be written as a section line).
std::optional<std::vector<std::string_view>> SplitKeyPath(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    for (char c : part)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return std::nullopt;
    if (!part.empty()) parts.push_back(part);
    start = end + 1;
  }
  return parts;
}

Node* FindChild(const Node& node, std::string_view name) {
  for (const auto& child : node.children)
    if (IEquals(child->name, name)) return child.get();
  return nullptr;
}

Node* FindKey(const Node& root, std::string_view path) {
  auto parts = SplitKeyPath(path);
  if (!parts) return nullptr;
  Node* node = const_cast<Node*>(&root);
  for (std::string_view part : *parts) {
    node = FindChild(*node, part);
    if (!node) return nullptr;
  }
  return node;
}

Node* CreatePath(Node& root, std::string_view path) {
  auto parts = SplitKeyPath(path);
  if (!parts) return nullptr;
  Node* node = &root;
  for (std::string_view part : *parts) {
    Node* child = FindChild(*node, part);
    if (!child) {
      node->children.push_back(std::make_unique<Node>());
      child = node->children.back().get();
      child->name = std::string(part);
    }
    node = child;
  }
  return node;
}

const SettingsValue* FindValue(const Node& node, std::string_view name) {
  for (const auto& [n, v] : node.values)
    if (IEquals(n, name)) return &v;
  return nullptr;
}

void SetValue(Node& node, std::string_view name, SettingsValue v) {
  for (auto& [n, old] : node.values)
    if (IEquals(n, name)) {
      old = std::move(v);
      return;
    }
  node.values.emplace_back(std::string(name), std::move(v));
}

// ---- writing ----

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  out += '"';
}

void AppendHex(std::string& out, const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += "hex:";
  size_t lineStart = out.rfind('\n') + 1;  // npos + 1 == 0
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0xf];
    if (i + 1 == bytes.size()) break;
    out += ',';
    if (out.size() - lineStart >= kHexLineWidth) {
      out += "\\\n  ";
      lineStart = out.size() - 2;
    }
  }
}

void AppendValue(std::string& out, std::string_view name, const SettingsValue& v) {
  if (name.empty())
    out += '@';
  else
    AppendQuoted(out, name);
  out += '=';
  switch (v.type) {
    case ValueType::String: AppendQuoted(out, v.text); break;
    case ValueType::Number: {
      char buf[16];
      std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.number));
      out += buf;
      break;
    }
    case ValueType::Binary: AppendHex(out, v.bytes); break;
  }
  out += '\n';
}

void AppendKey(std::string& out, const Node& node, const std::string& path, bool isRoot) {
  if (!isRoot || !node.values.empty()) {
    out += '[';
    out += path;
    out += "]\n";
    for (const auto& [name, v] : node.values) AppendValue(out, name, v);
    out += '\n';
  }
  for (const auto& child : node.children) AppendKey(out, *child, path + '\\' + child->name, false);
}

std::string Serialize(const Node& root) {
  std::string out(kHeader);
  out += "\n\n";
  AppendKey(out, root, std::string(kHive), true);
  return out;
}

// ---- reading ----

class Parser {
 public:
  explicit Parser(std::string_view content) {
    if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
    size_t start = 0;
    while (start < content.size()) {
      size_t end = content.find('\n', start);
      if (end == std::string_view::npos) end = content.size();
      std::string_view line = content.substr(start, end - start);
      if (line.ends_with('\r')) line.remove_suffix(1);
      lines_.push_back(line);
      start = end + 1;
    }
  }

  // Fills root; false with error() set on the first line that does not parse.
  bool Parse(Node& root) {
    bool headerSeen = false;
    Node* section = nullptr;
    for (index_ = 0; index_ < lines_.size(); ++index_) {
      std::string_view line = Trim(lines_[index_]);
      if (line.empty() || line.front() == ';') continue;
      if (!headerSeen) {
        if (line != kHeader) return Fail("the first line is not \"" + std::string(kHeader) + "\"");
        headerSeen = true;
      } else if (line.front() == '[') {
        section = ParseSection(line, root);
        if (!section) return false;
      } else if (line.front() == '"' || line.front() == '@') {
        if (!section) return Fail("a value outside a key section");
        if (!ParseValue(line, *section)) return false;
      } else {
        return Fail("unrecognised line");
      }
    }
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  static std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
  }

  static void SkipBlanks(std::string_view& s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  }

  bool Fail(std::string why) {
    error_ = "line " + std::to_string(index_ + 1) + ": " + std::move(why);
    return false;
  }

  Node* ParseSection(std::string_view line, Node& root) {
    if (line.back() != ']') {
      Fail("a key section without its closing bracket");
      return nullptr;
    }
    std::string_view path = line.substr(1, line.size() - 2);
    std::string_view hive = path.substr(0, path.find('\\'));
    if (!IEquals(hive, kHive)) {
      Fail("a key outside " + std::string(kHive));
      return nullptr;
    }
    path.remove_prefix(hive.size());
    Node* node = CreatePath(root, path);
    if (!node) Fail("a key name with a control character");
    return node;
  }

  // A quoted name or text at the start of s; consumes it.
  bool ParseQuoted(std::string_view& s, std::string& out) {
    s.remove_prefix(1);  // opening quote
    while (!s.empty()) {
      char c = s.front();
      s.remove_prefix(1);
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (s.empty()) break;
      char e = s.front();
      s.remove_prefix(1);
      switch (e) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        default: return Fail(std::string("an unknown escape \\") + e);
      }
    }
    return Fail("a text without its closing quote");
  }

  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = AsciiLower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  }

  bool ParseDword(std::string_view s, uint32_t& number) {
    s = Trim(s);
    if (s.empty() || s.size() > 8) return Fail("a dword that is not 1 to 8 hex digits");
    number = 0;
    for (char c : s) {
      int d = HexDigit(c);
      if (d < 0) return Fail("a dword that is not 1 to 8 hex digits");
      number = number << 4 | static_cast<uint32_t>(d);
    }
    return true;
  }

  // Bytes "01,02,ff"; a trailing "\" continues on the next line.
  bool ParseHex(std::string_view s, std::vector<uint8_t>& bytes) {
    std::string joined(Trim(s));
    while (!joined.empty() && joined.back() == '\\') {
      joined.pop_back();
      if (index_ + 1 >= lines_.size()) return Fail("hex data continued past the end of the file");
      ++index_;
      joined += Trim(lines_[index_]);
    }
    std::string_view rest = Trim(joined);
    if (rest.empty()) return true;
    while (true) {
      size_t comma = rest.find(',');
      std::string_view item = Trim(rest.substr(0, comma));
      int hi = item.size() == 2 ? HexDigit(item[0]) : -1;
      int lo = item.size() == 2 ? HexDigit(item[1]) : -1;
      if (hi < 0 || lo < 0) return Fail("hex data that is not a list of two-digit bytes");
      bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    return true;
  }

  bool ParseValue(std::string_view line, Node& section) {
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else if (!ParseQuoted(line, name)) {
      return false;
    }
    SkipBlanks(line);
    if (line.empty() || line.front() != '=') return Fail("a value name without '='");
    line.remove_prefix(1);
    SkipBlanks(line);

    SettingsValue v;
    if (line.starts_with('"')) {
      v.type = ValueType::String;
      if (!ParseQuoted(line, v.text)) return false;
      if (!Trim(line).empty()) return Fail("text after the closing quote");
    } else if (line.starts_with("dword:")) {
      v.type = ValueType::Number;
      if (!ParseDword(line.substr(6), v.number)) return false;
    } else if (line.starts_with("hex:")) {
      v.type = ValueType::Binary;
      if (!ParseHex(line.substr(4), v.bytes)) return false;
    } else {
      return Fail("a value of an unsupported type");
    }
    SetValue(section, name, std::move(v));
    return true;
  }

  std::vector<std::string_view> lines_;
  size_t index_ = 0;
  std::string error_;
};

// ---- files ----

std::string ErrnoText(int err) { return std::strerror(err); }

// Reads the whole file; 0 on success, else the errno (ENOENT when it does not exist).
int ReadFile(const std::string& path, std::string& content) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  char buf[65536];
  while (true) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int err = errno;
      ::close(fd);
      return err;
    }
    if (n == 0) break;
    content.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return 0;
}

// Renames from to to unless to exists; 0 on success, else the errno (EEXIST when to exists).
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // File systems without RENAME_NOREPLACE: a hard link fails when the name is taken.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

// Moves a damaged file to "<path>.damaged-YYYYMMDD-hhmmss" (with "-2", "-3", ... when taken).
// Returns the new name, or "" with why set.
std::string SetAside(const std::string& path, std::string& why) {
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string base = path + ".damaged-" + stamp;
  for (int n = 1; n <= 1000; ++n) {
    std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
    int err = RenameNoReplace(path, candidate);
    if (err == 0) return candidate;
    if (err != EEXIST) {
      why = ErrnoText(err);
      return {};
    }
  }
  why = "too many damaged copies already exist";
  return {};
}

// Creates the folder and its missing parents (new ones readable by the owner only).
bool MakeFolders(const std::filesystem::path& folder, std::string& why) {
  std::filesystem::path current;
  for (const auto& part : folder) {
    current /= part;
    if (::mkdir(current.c_str(), 0700) == 0 || errno == EEXIST) continue;
    why = "cannot create the folder \"" + current.string() + "\": " + ErrnoText(errno);
    return false;
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    why = "\"" + folder.string() + "\" is not a folder";
    return false;
  }
  return true;
}

std::string EnvOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string HomeFolder() {
  std::string home = EnvOrEmpty("HOME");
  if (!home.empty()) return home;
  struct passwd pw {};
  struct passwd* found = nullptr;
  std::vector<char> buf(16384);
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return ".";
}

}  // namespace

SettingsStore::SettingsStore(std::string filePath)
    : filePath_(std::move(filePath)), root_(std::make_unique<Node>()) {
  load();
}

SettingsStore::~SettingsStore() = default;
SettingsStore::SettingsStore(SettingsStore&&) noexcept = default;
SettingsStore& SettingsStore::operator=(SettingsStore&&) noexcept = default;

std::string SettingsStore::DefaultFilePath() {
  std::filesystem::path folder;
  if (std::string own = EnvOrEmpty("TAMBER_CONFIG_HOME"); !own.empty()) {
    folder = own;
  } else {
    std::filesystem::path xdg = EnvOrEmpty("XDG_CONFIG_HOME");
    // Relative values are invalid for XDG variables and are ignored.
    folder = (xdg.is_absolute() ? xdg : std::filesystem::path(HomeFolder()) / ".config") / "tamber";
  }
  return (folder / kFileName).string();
}

void SettingsStore::load() {
  std::string content;
  if (int err = ReadFile(filePath_, content); err != 0) {
    if (err == ENOENT) return;
    fileProtected_ = true;
    loadWarning_ = "The settings file \"" + filePath_ + "\" cannot be read (" + ErrnoText(err) +
                   "). Tamber starts with default settings and will not overwrite that file.";
    return;
  }
  Parser parser(content);
  auto loaded = std::make_unique<Node>();
  if (parser.Parse(*loaded)) {
    root_ = std::move(loaded);
    return;
  }
  std::string why;
  std::string asideName = SetAside(filePath_, why);
  if (asideName.empty()) {
    fileProtected_ = true;
    loadWarning_ = "The settings file \"" + filePath_ + "\" is damaged (" + parser.error() +
                   ") and could not be moved aside (" + why +
                   "). Tamber starts with default settings and will not overwrite that file.";
  } else {
    loadWarning_ = "The settings file \"" + filePath_ + "\" is damaged (" + parser.error() +
                   "). It was moved to \"" + asideName + "\"; Tamber starts with default settings.";
  }
}

bool SettingsStore::keyExists(std::string_view key) const { return FindKey(*root_, key) != nullptr; }

bool SettingsStore::createKey(std::string_view key) { return CreatePath(*root_, key) != nullptr; }

bool SettingsStore::deleteKey(std::string_view key) {
  auto parts = SplitKeyPath(key);
  if (!parts || parts->empty()) return false;
  Node* parent = root_.get();
  for (size_t i = 0; i + 1 < parts->size(); ++i) {
    parent = FindChild(*parent, (*parts)[i]);
    if (!parent) return false;
  }
  auto& children = parent->children;
  for (auto it = children.begin(); it != children.end(); ++it) {
    if (IEquals((*it)->name, parts->back())) {
      children.erase(it);
      return true;
    }
  }
  return false;
}

std::vector<std::string> SettingsStore::subkeyNames(std::string_view key) const {
  std::vector<std::string> names;
  if (const Node* node = FindKey(*root_, key))
    for (const auto& child : node->children) names.push_back(child->name);
  return names;
}

std::vector<std::string> SettingsStore::valueNames(std::string_view key) const {
  std::vector<std::string> names;
  if (const Node* node = FindKey(*root_, key))
    for (const auto& [name, v] : node->values) names.push_back(name);
  return names;
}

std::optional<SettingsValue> SettingsStore::value(std::string_view key, std::string_view name) const {
  const Node* node = FindKey(*root_, key);
  if (!node) return std::nullopt;
  const SettingsValue* v = FindValue(*node, name);
  if (!v) return std::nullopt;
  return *v;
}

std::optional<std::string> SettingsStore::readString(std::string_view key, std::string_view name) const {
  const Node* node = FindKey(*root_, key);
  const SettingsValue* v = node ? FindValue(*node, name) : nullptr;
  if (!v || v->type != ValueType::String) return std::nullopt;
  return v->text;
}

std::optional<uint32_t> SettingsStore::readNumber(std::string_view key, std::string_view name) const {
  const Node* node = FindKey(*root_, key);
  const SettingsValue* v = node ? FindValue(*node, name) : nullptr;
  if (!v || v->type != ValueType::Number) return std::nullopt;
  return v->number;
}

bool SettingsStore::writeValue(std::string_view key, std::string_view name, SettingsValue v) {
  Node* node = CreatePath(*root_, key);
  if (!node) return false;
  SetValue(*node, name, std::move(v));
  return true;
}

bool SettingsStore::writeString(std::string_view key, std::string_view name, std::string_view text) {
  SettingsValue v;
  v.type = ValueType::String;
  v.text = std::string(text);
  return writeValue(key, name, std::move(v));
}

bool SettingsStore::writeNumber(std::string_view key, std::string_view name, uint32_t number) {
  SettingsValue v;
  v.type = ValueType::Number;
  v.number = number;
  return writeValue(key, name, std::move(v));
}

bool SettingsStore::writeBinary(std::string_view key, std::string_view name, std::span<const uint8_t> bytes) {
  SettingsValue v;
  v.type = ValueType::Binary;
  v.bytes.assign(bytes.begin(), bytes.end());
  return writeValue(key, name, std::move(v));
}

bool SettingsStore::deleteValue(std::string_view key, std::string_view name) {
  Node* node = FindKey(*root_, key);
  if (!node) return false;
  auto& values = node->values;
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (IEquals(it->first, name)) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

bool SettingsStore::save() {
  lastError_.clear();
  if (fileProtected_) {
    lastError_ = "The settings file \"" + filePath_ +
                 "\" was left untouched because it could not be read or set aside at start.";
    return false;
  }
  std::filesystem::path folder = std::filesystem::path(filePath_).parent_path();
  if (folder.empty()) folder = ".";
  std::string why;
  if (!MakeFolders(folder, why) || !ReplaceFile(filePath_, Serialize(*root_), 0600, why)) {
    lastError_ = "Cannot save the settings file \"" + filePath_ + "\": " + why;
    return false;
  }
  return true;
}

}  // namespace platform
