#include "mainwindow/ContentRules.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

constexpr const char* kChaptersLine = "Current Chapter(s): ";

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

int IntegerOr(const std::string& text, int otherwise) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && at == end && !text.empty() ? value : otherwise;
}

std::string CurrentFolder() {
  std::error_code error;
  std::string folder = std::filesystem::current_path(error).string();
  return error ? std::string() : folder;
}

}  // namespace

std::optional<ChapterChoice> ChapterChoiceOfPane(const std::vector<std::string>& pane) {
  if (pane.empty()) return std::nullopt;
  const std::string* line = &pane[0];
  if (line->find(kChaptersLine) == std::string::npos) {
    if (pane.size() < 2) return std::nullopt;
    line = &pane[1];
    if (line->find(kChaptersLine) == std::string::npos) return ChapterChoice{};
  }
  const size_t dash = line->find('-');
  const size_t lastKept = line->find_last_not_of(' ');
  const size_t end = lastKept == std::string::npos ? 0 : lastKept + 1;
  if (dash == std::string::npos) return ChapterChoice{ChapterChoice::kSingle, -1};
  if (end == 0) return ChapterChoice{};
  const int last = dash + 1 < end ? IntegerOr(line->substr(dash + 1, end - dash - 1), -1) : -1;
  if (last == -1) return ChapterChoice{};
  return ChapterChoice{ChapterChoice::kRange, last};
}

bool PaneShowsRecoveryRecords(const std::vector<std::string>& pane) {
  return !pane.empty() && pane[0].rfind("Flags: ", 0) == 0 && pane[0].find("RECOVERY RECORDS") != std::string::npos;
}

std::string DefaultFolder(int mode, const std::string& last, const std::string& configured,
                          const std::string& currentArchive) {
  std::string folder = mode == 1 ? last : mode == 2 ? configured : platform::FolderPart(currentArchive);
  if (!platform::IsFolder(folder)) folder = CurrentFolder();
  return Trimmed(folder);
}

bool CopyChangesInPlace(const std::string& outputArchive, const std::string& copied) {
  if (outputArchive.empty() || outputArchive == copied) return true;
  return platform::FolderPart(outputArchive).empty() && outputArchive == platform::FileNamePart(copied);
}

std::string WithArchiveExtension(const std::string& name) {
  if (name.empty() || platform::FileNamePart(name).empty() || !platform::ExtensionPart(name).empty()) return name;
  return name + ".j";
}

bool UnfitForArchiver(const std::string& path) {
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '"' || c == '*' || c == '?' || c == '\\') return true;
  }
  return false;
}
