#pragma once
// Add-settings files (".tbs"): a snapshot of the Add dialog's controls in INI text, sections in
// square brackets and one "key=value" line per entry. Saving updates the keys it writes where they
// stand and keeps every other line of the file; reading takes what it can from any content.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace addsettings {

// INI text kept line by line, so that writing a key changes that one line only. Section and key
// names compare without regard to ASCII case; the first of duplicated sections or keys counts.
class IniText {
 public:
  IniText() = default;
  explicit IniText(std::string_view text);

  // The value, blanks around it trimmed and one pair of enclosing double quotes taken off.
  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  // The value as a 32-bit number; nothing when absent or not wholly a decimal number in range.
  std::optional<int32_t> ReadNumber(std::string_view section, std::string_view key) const;
  // Replaces the key's value where it stands, else adds the key after the last entry of its section,
  // else adds the section at the end. Line breaks in the value become blanks; a value that would not
  // read back as it is (blanks at its ends, enclosing quotes) is written inside double quotes.
  void Write(std::string_view section, std::string_view key, std::string_view value);
  // The keys of a section in file order.
  std::vector<std::string> Keys(std::string_view section) const;
  // The whole text, with the line ends the text came with (LF for a new text).
  std::string Text() const;

 private:
  struct Line {
    std::string text;
    std::string key;  // lower-case key of an entry line, else ""
  };
  struct Section {
    std::vector<Line> lines;  // the header line first, except for the lines before the first section
    std::unordered_map<std::string, size_t> keys;  // lower-case key -> its first line
  };

  const Section* Find(std::string_view name) const;
  const Line* FindKey(const Section& section, std::string_view key) const;
  void Add(Section& section, size_t at, Line line);

  std::vector<Section> sections_;  // the lines before the first section, then the sections in order
  std::unordered_map<std::string, size_t> names_;  // lower-case name -> its first section
  std::string lineEnd_ = "\n";
  bool endsWithLineEnd_ = true;
};

// The section each kind of control writes to.
enum class ControlKind { CheckBox, ComboBox, Edit, Memo, Field };
const char* SectionOf(ControlKind kind);

inline constexpr const char* kDirectorySection = "DIRECTORY";
inline constexpr const char* kFolderKey = "FilesListView1";
inline constexpr const char* kDriveKey = "RzDriveComboBox1";

// One control as it is saved.
struct ControlState {
  ControlKind kind;
  std::string name;
  int number = 0;                  // check box 1 or 0; combo box index, -1 for none
  std::string text;                // edit or field
  std::vector<std::string> lines;  // memo
};

struct Snapshot {
  std::string folder;                  // the browser's folder
  std::string drive;                   // the root folder of the drive box's volume
  std::vector<ControlState> controls;  // in the dialog's order
  bool holdsSecret = false;            // a new file is then readable by its owner only
};

// The larger files are refused as a read failure: no settings file comes near it.
inline constexpr int64_t kMaxFileSize = 64 << 20;

// Writes the snapshot into the file at path: the directory entries, then every control in order.
// An existing file is read first and keeps all it holds besides; it is replaced as a whole once the
// new text is complete. False with why on failure (the file is then as it was).
bool Save(const std::string& path, const Snapshot& snapshot, std::string& why);
std::string SaveText(std::string_view existing, const Snapshot& snapshot);

// The reads of a settings file with their defaults: a value that is missing or not a number counts
// as absent.
class Reader {
 public:
  Reader() = default;
  explicit Reader(std::string_view text) : ini_(text) {}
  // False when the file cannot be read: missing, not a regular file, unreadable, or too large.
  bool Open(const std::string& path);

  std::string Folder() const;
  std::string Drive() const;
  // Nothing for -1 or absent; else checked unless 0.
  std::optional<bool> CheckBox(std::string_view name) const;
  // Nothing for -1, absent, or an index outside 0 .. itemCount - 1.
  std::optional<int> ComboIndex(std::string_view name, int itemCount) const;
  // A non-empty text of an edit or a field; control characters are left out.
  std::optional<std::string> Text(ControlKind kind, std::string_view name) const;
  // The memo's lines when its count is above 0; lines beyond the last one the file holds are not
  // made up, so a huge count costs nothing.
  std::optional<std::vector<std::string>> MemoLines(std::string_view name) const;

 private:
  IniText ini_;
};

}  // namespace addsettings
