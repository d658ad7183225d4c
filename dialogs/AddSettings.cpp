#include "dialogs/AddSettings.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>

#include "platform/Files.h"
#include "platform/ReplaceFile.h"

namespace addsettings {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The section name of a header line "[name]", or nothing for any other line.
std::optional<std::string_view> HeaderName(std::string_view line) {
  line = Trimmed(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trimmed(line.substr(1, close - 1));
}

// The lower-case key of an entry line "key=value"; "" for comments, blank lines and other text.
std::string KeyOf(std::string_view line) {
  const std::string_view trimmed = Trimmed(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return "";
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return "";
  return Lower(Trimmed(line.substr(0, equals)));
}

std::string_view ValueOf(std::string_view line) {
  std::string_view value = Trimmed(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return value;
}

std::string Encoded(std::string_view value) {
  std::string out(value);
  std::replace_if(out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  const bool readsOtherwise = !out.empty() && (IsBlank(out.front()) || IsBlank(out.back()) ||
                                               (out.size() >= 2 && out.front() == '"' && out.back() == '"'));
  return readsOtherwise ? "\"" + out + "\"" : out;
}

std::string MemoCountKey(std::string_view name) { return std::string(name) + "_Count"; }
std::string MemoLineKey(std::string_view name, size_t index) {
  return std::string(name) + "_" + std::to_string(index);
}

}  // namespace

IniText::IniText(std::string_view text) {
  sections_.emplace_back();
  if (text.empty()) return;
  endsWithLineEnd_ = text.back() == '\n';
  const size_t firstBreak = text.find('\n');
  lineEnd_ = firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r' ? "\r\n" : "\n";
  if (endsWithLineEnd_) text.remove_suffix(1);
  for (size_t start = 0;;) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (auto name = HeaderName(line)) {
      names_.emplace(Lower(*name), sections_.size());
      sections_.emplace_back().lines.push_back({std::string(line), ""});
    } else {
      Section& section = sections_.back();
      Add(section, section.lines.size(), {std::string(line), KeyOf(line)});
    }
    if (end == text.size()) break;
    start = end + 1;
  }
}

void IniText::Add(Section& section, size_t at, Line line) {
  if (!line.key.empty()) section.keys.emplace(line.key, at);
  section.lines.insert(section.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

const IniText::Section* IniText::Find(std::string_view name) const {
  const auto found = names_.find(Lower(name));
  return found == names_.end() ? nullptr : &sections_[found->second];
}

const IniText::Line* IniText::FindKey(const Section& section, std::string_view key) const {
  const auto found = section.keys.find(Lower(key));
  return found == section.keys.end() ? nullptr : &section.lines[found->second];
}

std::optional<std::string> IniText::Read(std::string_view section, std::string_view key) const {
  const Section* found = Find(section);
  const Line* line = found ? FindKey(*found, key) : nullptr;
  if (!line) return std::nullopt;
  return std::string(ValueOf(line->text));
}

std::optional<int32_t> IniText::ReadNumber(std::string_view section, std::string_view key) const {
  const std::optional<std::string> text = Read(section, key);
  if (!text || text->empty()) return std::nullopt;
  int32_t number = 0;
  const char* end = text->data() + text->size();
  const auto [stop, error] = std::from_chars(text->data(), end, number);
  if (error != std::errc() || stop != end) return std::nullopt;
  return number;
}

void IniText::Write(std::string_view section, std::string_view key, std::string_view value) {
  const std::string entry = std::string(key) + "=" + Encoded(value);
  auto [named, added] = names_.emplace(Lower(section), sections_.size());
  if (added) sections_.emplace_back().lines.push_back({"[" + std::string(section) + "]", ""});
  Section& found = sections_[named->second];
  if (const auto line = found.keys.find(Lower(key)); line != found.keys.end()) {
    found.lines[line->second].text = entry;
    return;
  }
  // After the section's last line that is not blank, so blank lines before the next section stay
  // where they are (the lines after it hold no keys, so no index moves).
  size_t at = found.lines.size();
  while (at > 1 && Trimmed(found.lines[at - 1].text).empty()) --at;
  Add(found, at, {entry, Lower(key)});
}

std::vector<std::string> IniText::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  if (const Section* found = Find(section))
    for (const Line& line : found->lines)
      if (!line.key.empty()) keys.push_back(line.key);
  return keys;
}

std::string IniText::Text() const {
  std::string out;
  bool first = true;
  for (const Section& section : sections_)
    for (const Line& line : section.lines) {
      if (!first) out += lineEnd_;
      out += line.text;
      first = false;
    }
  if (!first && endsWithLineEnd_) out += lineEnd_;
  return out;
}

const char* SectionOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::CheckBox: return "CHECKBOXES";
    case ControlKind::ComboBox: return "COMBOBOXES";
    case ControlKind::Edit: return "EDITBOXES";
    case ControlKind::Memo: return "MEMO";
    case ControlKind::Field: return "EDITS";
  }
  return "";
}

std::string SaveText(std::string_view existing, const Snapshot& snapshot) {
  IniText ini(existing);
  ini.Write(kDirectorySection, kFolderKey, snapshot.folder);
  ini.Write(kDirectorySection, kDriveKey, snapshot.drive);
  for (const ControlState& control : snapshot.controls) {
    const char* section = SectionOf(control.kind);
    switch (control.kind) {
      case ControlKind::CheckBox:
      case ControlKind::ComboBox:
        ini.Write(section, control.name, std::to_string(control.number));
        break;
      case ControlKind::Edit:
      case ControlKind::Field:
        ini.Write(section, control.name, control.text);
        break;
      case ControlKind::Memo:
        ini.Write(section, MemoCountKey(control.name), std::to_string(control.lines.size()));
        for (size_t i = 0; i < control.lines.size(); ++i) ini.Write(section, MemoLineKey(control.name, i), control.lines[i]);
        break;
    }
  }
  return ini.Text();
}

bool Save(const std::string& path, const Snapshot& snapshot, std::string& why) {
  std::string existing;
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > static_cast<uintmax_t>(kMaxFileSize) || !platform::ReadWholeFile(path, existing)) {
      why = "cannot read \"" + path + "\"";
      return false;
    }
  }
  return platform::ReplaceFile(path, SaveText(existing, snapshot), snapshot.holdsSecret ? 0600 : 0666, why);
}

bool Reader::Open(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const auto size = std::filesystem::file_size(path, ec);
  std::string text;
  if (ec || size > static_cast<uintmax_t>(kMaxFileSize) || !platform::ReadWholeFile(path, text)) return false;
  ini_ = IniText(text);
  return true;
}

std::string Reader::Folder() const { return ini_.Read(kDirectorySection, kFolderKey).value_or(""); }
std::string Reader::Drive() const { return ini_.Read(kDirectorySection, kDriveKey).value_or(""); }

std::optional<bool> Reader::CheckBox(std::string_view name) const {
  const std::optional<int32_t> value = ini_.ReadNumber(SectionOf(ControlKind::CheckBox), name);
  if (!value || *value == -1) return std::nullopt;
  return *value != 0;
}

std::optional<int> Reader::ComboIndex(std::string_view name, int itemCount) const {
  const std::optional<int32_t> value = ini_.ReadNumber(SectionOf(ControlKind::ComboBox), name);
  if (!value || *value < 0 || *value >= itemCount) return std::nullopt;
  return *value;
}

std::optional<std::string> Reader::Text(ControlKind kind, std::string_view name) const {
  std::optional<std::string> text = ini_.Read(SectionOf(kind), name);
  if (!text) return std::nullopt;
  std::erase_if(*text, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
  if (text->empty()) return std::nullopt;
  return text;
}

std::optional<std::vector<std::string>> Reader::MemoLines(std::string_view name) const {
  const char* section = SectionOf(ControlKind::Memo);
  const std::optional<int32_t> count = ini_.ReadNumber(section, MemoCountKey(name));
  if (!count || *count <= 0) return std::nullopt;
  // The highest line index the file holds for this memo.
  const std::string prefix = Lower(name) + "_";
  size_t held = 0;
  for (const std::string& key : ini_.Keys(section)) {
    if (key.size() <= prefix.size() || key.compare(0, prefix.size(), prefix) != 0) continue;
    size_t index = 0;
    const char* end = key.data() + key.size();
    const auto [stop, error] = std::from_chars(key.data() + prefix.size(), end, index);
    if (error == std::errc() && stop == end && index < static_cast<size_t>(*count)) held = std::max(held, index + 1);
  }
  std::vector<std::string> lines;
  lines.reserve(held);
  for (size_t i = 0; i < held; ++i) lines.push_back(ini_.Read(section, MemoLineKey(name, i)).value_or(""));
  return lines;
}

}  // namespace addsettings
