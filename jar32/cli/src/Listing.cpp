#include "Listing.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "Comment.h"
#include "MemberNames.h"

namespace jar32::cli {

namespace {

constexpr std::string_view kHeading1 = "      Size Attr   Modified             Name";
constexpr std::string_view kHeading2 =
    "---------- ----   -------------------  ----------------------------------------";

std::string chapterLineText(const ListingHeader& h) {
  if (h.firstChapter == h.lastChapter) return "Current chapter: " + std::to_string(h.firstChapter);
  return "Chapter range selected: " + std::to_string(h.firstChapter) + "-" +
         std::to_string(h.lastChapter);
}

std::string ratioText(uint64_t packed, uint64_t unpacked) {
  char text[32];
  const double ratio = unpacked ? 100.0 * static_cast<double>(packed) / static_cast<double>(unpacked) : 0.0;
  std::snprintf(text, sizeof text, "%.1f%%", ratio);
  return text;
}

void memberLine(const MemberInfo& m, std::string_view shownName, bool withRange, Output& out) {
  out.put(sizeColumn(m.size)).put("  ").put(attributeText(m)).put("   ");
  char when[20];
  formatLocalTime(m.mtime, when);
  out.put(std::string_view(when, 19)).put("  ");
  out.put(printable(shownName));
  if (m.kind == MemberKind::Folder) out.put('\\');
  if (withRange) {
    out.put(" <").put(std::to_string(m.chapters.first)).put('-');
    out.put(std::to_string(m.chapters.last)).put('>');
  }
  out.put('\n');
}

}  // namespace

void printBanner(Output& out) {
  out.line("JAR 1.02 (stand-in for Linux): real archives with chapters and recovery records");
  out.line("Copyright (c) 2026 the Tamber developers");
}

std::string flagLine(uint32_t flags) {
  static const std::pair<uint32_t, const char*> kWords[] = {
      {kFlagLocked, "LOCKED"},   {kFlagAutoLock, "AUTO_LOCK"}, {kFlagRecoveryRecords, "RECOVERY RECORDS"},
      {kFlagSecured, "SECURED"}, {kFlagHidden, "HIDDEN"},      {kFlagProtected, "PROTECTED"},
      {kFlagEncrypted, "ENCRYPTED"}};
  std::string line;
  for (const auto& [bit, word] : kWords) {
    if (!(flags & bit)) continue;
    if (!line.empty()) line += ", ";
    line += word;
  }
  return line;
}

std::string attributeText(const MemberInfo& m) {
  std::string a = "----";
  if (m.kind == MemberKind::Folder) a[0] = 'D';
  else if (m.kind == MemberKind::Symlink) a[0] = 'L';
  else if (m.attributes & kAttrArchive) a[0] = 'A';
  if (m.attributes & kAttrHidden) a[1] = 'H';
  if (m.attributes & kAttrReadOnly) a[2] = 'R';
  if (m.attributes & kAttrSystem) a[3] = 'S';
  return a;
}

std::string sizeColumn(uint64_t size) {
  char text[32];
  if (size < 10000000000ULL) {
    std::snprintf(text, sizeof text, "%10llu", static_cast<unsigned long long>(size));
    return text;
  }
  // Whole units, rounded up, in nine digits and a unit letter.
  static const char kUnits[] = "KMGT";
  unsigned long long value = size;
  for (const char unit : std::string_view(kUnits)) {
    value = value / 1024 + (value % 1024 ? 1 : 0);
    if (value < 1000000000ULL || unit == 'T') {
      std::snprintf(text, sizeof text, "%9llu%c", value, unit);
      break;
    }
  }
  return text;
}

void printListing(const ListingHeader& h, const std::vector<const MemberInfo*>& members, Output& out) {
  printBanner(out);
  out.put("Processing archive: ").line(printable(h.archivePath));
  out.put("Archive format ").put(std::to_string(h.formatVersion)).put(", ");
  out.put(std::to_string(h.chapterCount)).put(h.chapterCount == 1 ? " chapter, " : " chapters, ");
  out.put(std::to_string(h.memberCount)).line(h.memberCount == 1 ? " member" : " members");
  out.line("");
  if (h.secured && h.envelopeTested) out.line("*** Verifying JAR SECURITY ENVELOPE");
  out.put("Archive created ").put(localTimeText(h.created));
  out.put(", modified ").line(localTimeText(h.modified));
  const std::string flags = flagLine(h.flags);
  if (!flags.empty()) out.line(flags);
  const std::string chapterLine = chapterLineText(h);
  for (const std::string& line : commentDisplayLines(h.comment, !flags.empty(), chapterLine.size()))
    out.line(line);
  out.line(chapterLine);
  out.line("Analyzing archive...");
  out.line("");

  // Group by folder: the root first, then folders in byte order; members keep archive order.
  std::unordered_map<std::string_view, std::vector<const MemberInfo*>> groups;
  std::vector<std::string_view> folders;
  for (const MemberInfo* m : members) {
    const std::string_view folder = memberFolder(m->name);
    auto [it, isNew] = groups.try_emplace(folder);
    if (isNew) folders.push_back(folder);
    it->second.push_back(m);
  }
  std::sort(folders.begin(), folders.end(), [](std::string_view a, std::string_view b) {
    if (a.empty() != b.empty()) return a.empty();
    return a < b;
  });
  const bool withRange = h.firstChapter != h.lastChapter;
  uint64_t bytes = 0;
  bool first = true;
  for (std::string_view folder : folders) {
    if (folder.empty()) out.line("Root directory");
    else out.put('"').put(printable(folder)).line("\" directory");
    if (first) {
      out.line(kHeading1);
      out.line(kHeading2);
      first = false;
    }
    for (const MemberInfo* m : groups[folder]) {
      memberLine(*m, memberLeaf(m->name), withRange, out);
      bytes += m->size;
    }
    out.line("");
  }
  out.put("Total files listed: ").line(std::to_string(members.size()));
  out.put("Total bytes in files listed: ").line(withThousands(bytes));
  out.put("Whole archived data ratio: ").put(withThousands(h.packedBytes)).put(" / ");
  out.put(withThousands(h.unpackedBytes)).put(" = ").line(ratioText(h.packedBytes, h.unpackedBytes));
  if (h.secured) {
    out.line(h.envelopeTested ? "*** Valid JAR SECURITY envelope signature:"
                              : "*** JAR SECURITY envelope not tested (-he), signed by:");
    out.put("    ").line(h.signature);
  }
}

}  // namespace jar32::cli
