#pragma once
// The per-user settings store: a typed key/value tree kept in a regedit-style text file.
//
// Key paths use backslashes, a leading backslash is optional, and both key paths and value names
// compare case-insensitively (ASCII) while keeping the case they were created with. Keys keep the
// order in which they were created, values the order in which they were first written.
// Not thread-safe: one thread owns a store.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class ValueType { String, Number, Binary };

struct SettingsValue {
  ValueType type = ValueType::String;
  std::string text;
  uint32_t number = 0;
  std::vector<uint8_t> bytes;

  bool operator==(const SettingsValue&) const = default;
};

class SettingsStore {
 public:
  // Opens the store backed by `filePath`, loading it when it exists.
  explicit SettingsStore(std::string filePath);
  ~SettingsStore();
  SettingsStore(SettingsStore&&) noexcept;
  SettingsStore& operator=(SettingsStore&&) noexcept;
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // $TAMBER_CONFIG_HOME/registry.reg when set, else $XDG_CONFIG_HOME/tamber/registry.reg,
  // else ~/.config/tamber/registry.reg (empty variables count as unset).
  static std::string DefaultFilePath();

  const std::string& filePath() const { return filePath_; }
  // Non-empty when the file could not be used at load (damaged and set aside, or unreadable):
  // the text to show the user once.
  const std::string& loadWarning() const { return loadWarning_; }

  // The empty path ("" or "\") is the root; it always exists and cannot be deleted.
  bool keyExists(std::string_view key) const;
  // Creates the key with its missing parents; true when it exists afterwards. False only for a path
  // that cannot be stored (a name with a control character such as a line break).
  bool createKey(std::string_view key);
  // Deletes the key with every subkey; false when absent (or the root).
  bool deleteKey(std::string_view key);
  std::vector<std::string> subkeyNames(std::string_view key) const;
  std::vector<std::string> valueNames(std::string_view key) const;  // in stored order

  // The empty name is the key's default value (written as @ in the file).
  std::optional<SettingsValue> value(std::string_view key, std::string_view name) const;
  std::optional<std::string> readString(std::string_view key, std::string_view name) const;  // String only
  std::optional<uint32_t> readNumber(std::string_view key, std::string_view name) const;     // Number only
  // Writes create the key when missing; false only when the key path cannot be stored (see createKey).
  bool writeString(std::string_view key, std::string_view name, std::string_view text);
  bool writeNumber(std::string_view key, std::string_view name, uint32_t number);
  bool writeBinary(std::string_view key, std::string_view name, std::span<const uint8_t> bytes);
  bool deleteValue(std::string_view key, std::string_view name);

  // Writes the file atomically (temporary file in the same folder, flush, fsync, rename; the folder
  // is created when missing). False on failure, with lastError() saying why; the old file is then
  // intact. Refused when the file could not be read at load and was not set aside.
  bool save();
  const std::string& lastError() const { return lastError_; }

  struct Node;

 private:
  void load();
  bool writeValue(std::string_view key, std::string_view name, SettingsValue v);

  std::string filePath_;
  std::unique_ptr<Node> root_;
  std::string loadWarning_;
  std::string lastError_;
  bool fileProtected_ = false;  // the file on disk must not be replaced
};

}  // namespace platform
