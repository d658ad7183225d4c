#include "config/TConfig.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"

namespace {

// One persistent value: its name, its type in the store, and the field it fills.
struct StringValue { const char* name; std::string TConfig::*field; };
struct NumberValue { const char* name; int32_t TConfig::*number; int16_t TConfig::*choice; };
struct FlagValue { const char* name; bool TConfig::*field; };

// The stored values in their order.
const StringValue kStrings[] = {
    {"systemTempFolder", &TConfig::systemTempFolder},   {"lastOpenArchive", &TConfig::lastOpenArchive},
    {"lastExtractFolder", &TConfig::lastExtractFolder}, {"lastAddFolder", &TConfig::lastAddFolder},
    {"theStartupFolder", &TConfig::theStartupFolder},   {"theTemporaryFolder", &TConfig::theTemporaryFolder},
    {"theJar32Exe", &TConfig::theJar32Exe},             {"theAddFolder", &TConfig::theAddFolder},
    {"theExtractFolder", &TConfig::theExtractFolder},
};
const NumberValue kNumbers[] = {
    {"startupFolder", nullptr, &TConfig::startupFolder},
    {"temporaryFolder", nullptr, &TConfig::temporaryFolder},
    {"nrRecentEntries", &TConfig::nrRecentEntries, nullptr},
    {"addFolder", nullptr, &TConfig::addFolder},
    {"extractFolder", nullptr, &TConfig::extractFolder},
    {"jar32Priority", &TConfig::jar32Priority, nullptr},
};
const FlagValue kFlags[] = {
    {"showDosbox", &TConfig::showDosbox},
    {"internalJarCheck", &TConfig::internalJarCheck},
    {"loadDefaultAtStart", &TConfig::loadDefaultAtStart},
    {"associateToJ", &TConfig::associateToJ},
    {"checkAssociations", &TConfig::checkAssociations},
    {"allowDrag", &TConfig::allowDrag},
    {"flatButtons", &TConfig::flatButtons},
    {"largeButtons", &TConfig::largeButtons},
    {"limitToOneRow", &TConfig::limitToOneRow},
    {"fileOperationsToolBar", &TConfig::fileOperationsToolBar},
    {"archiveOpsToolbar", &TConfig::archiveOpsToolbar},
    {"otherToolbar", &TConfig::otherToolbar},
};
// RealTimeAllowed is read right before this flag.
constexpr const char* kReadRealTimeBefore = "fileOperationsToolBar";

}  // namespace

std::string ProgramFolderOf(const std::string& programPath) {
  std::string folder = platform::WithoutTrailingSeparator(platform::FolderPart(programPath));
  if (folder.empty() || !platform::IsFolder(folder)) return "/";
  return folder;
}

TConfig::TConfig(platform::SettingsStore& store, platform::Prompter& prompter,
                 std::optional<DesktopPlaces> desktop)
    : store_(store), prompter_(prompter), desktop_(std::move(desktop)) {
  programFolder = ProgramFolderOf(platform::RunningProgramPath());
  systemTempFolder = platform::SystemTempFolder();
  if (!platform::IsFolder(systemTempFolder)) systemTempFolder = programFolder;
  lastOpenArchive = lastExtractFolder = lastAddFolder = programFolder;
  theStartupFolder = theAddFolder = theExtractFolder = programFolder;
  theTemporaryFolder = systemTempFolder;
  Load();
  CheckAssociationAtStartup();
}

void TConfig::Load() {
  if (!store_.keyExists(kKey)) return;
  for (const StringValue& v : kStrings) {
    auto value = store_.value(kKey, v.name);
    if (!value)
      this->*v.field = "";
    else if (value->type == platform::ValueType::String)
      this->*v.field = value->text;
    if (v.field == &TConfig::theTemporaryFolder && !platform::IsFolder(theTemporaryFolder))
      theTemporaryFolder = systemTempFolder;
  }
  for (const NumberValue& v : kNumbers) {
    auto number = store_.readNumber(kKey, v.name);
    if (!number) continue;
    if (v.number)
      this->*v.number = static_cast<int32_t>(*number);
    else
      this->*v.choice = static_cast<int16_t>(*number & 0xFFFF);
  }
  for (const FlagValue& v : kFlags) {
    if (v.name == std::string(kReadRealTimeBefore))
      if (auto number = store_.readNumber(kKey, "RealTimeAllowed")) RealTimeAllowed = *number != 0;
    if (auto number = store_.readNumber(kKey, v.name)) this->*v.field = *number != 0;
  }
}

namespace {

// The configuration's values in the store as they were before a save, to put back when it fails.
class StoreSnapshot {
 public:
  StoreSnapshot(platform::SettingsStore& store, std::vector<std::string> names) : store_(store) {
    // The first missing key on the way down is where a failed save's creation began.
    std::string path;
    for (std::string_view part : {"\\Software", "\\TAMBER", "\\Configuration"}) {
      path += part;
      if (!store.keyExists(path)) {
        createdKey_ = path;
        return;
      }
    }
    for (std::string& name : names) {
      auto value = store.value(TConfig::kKey, name);
      values_.emplace_back(std::move(name), std::move(value));
    }
  }

  void Restore() {
    if (!createdKey_.empty()) {
      store_.deleteKey(createdKey_);
      return;
    }
    for (const auto& [name, value] : values_) {
      if (!value) {
        store_.deleteValue(TConfig::kKey, name);
        continue;
      }
      switch (value->type) {
        case platform::ValueType::String: store_.writeString(TConfig::kKey, name, value->text); break;
        case platform::ValueType::Number: store_.writeNumber(TConfig::kKey, name, value->number); break;
        case platform::ValueType::Binary: store_.writeBinary(TConfig::kKey, name, value->bytes); break;
      }
    }
  }

 private:
  platform::SettingsStore& store_;
  std::string createdKey_;
  std::vector<std::pair<std::string, std::optional<platform::SettingsValue>>> values_;
};

}  // namespace

bool TConfig::Save() {
  std::vector<std::string> names;
  for (const StringValue& v : kStrings) names.emplace_back(v.name);
  for (const NumberValue& v : kNumbers) names.emplace_back(v.name);
  for (const FlagValue& v : kFlags) names.emplace_back(v.name);
  StoreSnapshot before(store_, std::move(names));

  store_.createKey(kKey);
  for (const StringValue& v : kStrings) store_.writeString(kKey, v.name, this->*v.field);
  for (const NumberValue& v : kNumbers)
    store_.writeNumber(kKey, v.name,
                       static_cast<uint32_t>(v.number ? this->*v.number : static_cast<int32_t>(this->*v.choice)));
  for (const FlagValue& v : kFlags) store_.writeNumber(kKey, v.name, this->*v.field ? 1 : 0);
  if (!store_.save()) {
    before.Restore();  // nothing of this save may reach the file with a later one
    prompter_.plain("Error opening registry for saving!");
    return false;
  }
  return true;
}

bool TConfig::IsValidPassword(const std::string& text) {
  return platform::Utf8Length(text) >= 8 && text.find_first_of(" \"") == std::string::npos;
}

void TConfig::StorePassword(const std::string& text) {
  if (text == password) return;
  if (!text.empty() && !IsValidPassword(text)) return;
  password = text;
}

void TConfig::CheckAssociationAtStartup() {
  if (!checkAssociations || AssociationOk()) return;
  if (prompter_.ask(platform::BoxKind::Error, "Tamber is not properly associated to \".j\"\nDo you want it corrected ?",
                    platform::ButtonYes | platform::ButtonNo) == platform::ButtonYes)
    Associate();
  else
    checkAssociations = false;  // not asked again in this run; once saved, not at later starts
}

bool TConfig::AssociationOk() {
  return !desktop_ || association::AssociationOk(*desktop_, associateToJ, checkAssociations, prompter_);
}

void TConfig::Associate() {
  if (desktop_) association::Associate(*desktop_, associateToJ, prompter_);
}

bool TConfig::SaveAndRepair() {
  Save();
  if (!AssociationOk()) Associate();
  return true;
}
