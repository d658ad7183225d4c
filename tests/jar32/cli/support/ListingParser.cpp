#include "ListingParser.h"

#include <regex>
#include <sstream>
#include <stdexcept>

namespace listing {

namespace {

const char* const kFlagWords[] = {"LOCKED", "AUTO_LOCK", "RECOVERY RECORDS", "SECURED",
                                  "HIDDEN", "PROTECTED", "ENCRYPTED"};

bool contains(const std::string& s, const char* what) { return s.find(what) != std::string::npos; }
bool startsWith(const std::string& s, const std::string& what) { return s.rfind(what, 0) == 0; }

class Reader {
 public:
  explicit Reader(const std::string& text) {
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines_.push_back(line);
    }
  }
  bool atEnd() const { return pos_ >= lines_.size(); }
  const std::string& next(const char* what) {
    if (atEnd()) fail(std::string("output ended, expected ") + what);
    return lines_[pos_++];
  }
  const std::string& peek() const {
    static const std::string empty;
    return atEnd() ? empty : lines_[pos_];
  }
  [[noreturn]] void fail(const std::string& why) const {
    throw std::runtime_error("listing line " + std::to_string(pos_) + ": " + why);
  }

 private:
  std::vector<std::string> lines_;
  size_t pos_ = 0;
};

bool isFlagLine(const std::string& line) {
  for (const char* w : kFlagWords)
    if (contains(line, w)) return true;
  return false;
}

}  // namespace

Parsed parse(const std::string& text) {
  Parsed p;
  Reader r(text);
  std::string line = r.next("the version line");
  if (line.empty()) {
    if (!contains(r.next("the warning"), "WARNING #301")) r.fail("empty first line without WARNING #301");
    for (int i = 0; i < 5; ++i) r.next("the warning's lines");
    p.configWarning = true;
    line = r.next("the version line");
  }
  if (!startsWith(line, "JAR 1.02")) r.fail("no JAR 1.02 line: " + line);
  p.banner = r.next("the banner");
  line = r.next("the Processing line");
  if (!startsWith(line, "Processing archive: ")) r.fail("no Processing line: " + line);
  p.archivePath = line.substr(20);
  p.summary = r.next("the summary");
  if (p.summary.empty()) r.fail("empty summary line");
  r.next("the passed-over line");
  line = r.next("the archive line");
  if (line == "*** Verifying JAR SECURITY ENVELOPE") {
    p.envelopeVerified = true;
    line = r.next("the archive line");
  }
  static const std::regex dates(R"(^Archive created (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d), modified (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)$)");
  std::smatch m;
  if (!std::regex_match(line, m, dates)) r.fail("bad archive line: " + line);
  p.created = m[1];
  p.modified = m[2];
  line = r.next("the chapter line");
  const auto isChapterLine = [](const std::string& l) {
    return contains(l, "Current chapter: ") || contains(l, "Chapter range selected: ");
  };
  if (!isChapterLine(line) && isFlagLine(line)) {
    p.flags = line;
    line = r.next("the chapter line");
  }
  size_t window = 0;
  bool firstComment = true;
  while (!isChapterLine(line)) {
    if (!firstComment) window += line.size() + 1;
    firstComment = false;
    p.comment.push_back(line);
    line = r.next("the chapter line");
  }
  if (!p.comment.empty() && window + line.size() + 1 > 4096) r.fail("comment window over 4096");
  static const std::regex single(R"(^Current chapter: (\d+)$)");
  static const std::regex range(R"(^Chapter range selected: (\d+-\d+)$)");
  if (std::regex_match(line, m, single)) {
    p.singleChapter = true;
    p.chapters = m[1];
  } else if (std::regex_match(line, m, range)) {
    p.chapters = m[1];
  } else {
    r.fail("bad chapter line: " + line);
  }
  if (r.next("Analyzing") != "Analyzing archive...") r.fail("no Analyzing line");
  if (!r.next("an empty line").empty()) r.fail("no empty line after Analyzing");

  static const std::regex member(
      R"(^([ 0-9]{9}[0-9KM])  ([ADL-][H-][R-][S-])   (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)  (.+)$)");
  bool firstGroup = true;
  while (!r.atEnd() && !startsWith(r.peek(), "Total files listed: ")) {
    line = r.next("a folder line");
    std::string folder;
    if (line == "Root directory") {
      if (!firstGroup) r.fail("the root group is not first");
      folder = "\\";
    } else if (line.size() > 12 && line[0] == '"' && line.substr(line.size() - 11) == "\" directory") {
      folder = line.substr(1, line.size() - 12);
      if (folder.empty() || folder.back() != '\\') r.fail("folder without trailing backslash: " + line);
    } else {
      r.fail("bad folder line: " + line);
    }
    p.folders.push_back(folder);
    if (firstGroup) {
      if (r.next("heading") != "      Size Attr   Modified             Name") r.fail("bad heading 1");
      if (r.next("heading") !=
          "---------- ----   -------------------  ----------------------------------------")
        r.fail("bad heading 2");
      firstGroup = false;
    }
    int inGroup = 0;
    while (!(line = r.next("a member line")).empty()) {
      if (!std::regex_match(line, m, member)) r.fail("bad member line: " + line);
      Row row;
      row.folder = folder;
      row.size = m[1];
      row.size.erase(0, row.size.find_first_not_of(' '));
      row.attributes = m[2];
      row.modified = m[3];
      std::string name = m[4];
      if (p.singleChapter) {
        row.chapters = p.chapters;
      } else {
        const size_t lt = name.rfind(" <");
        if (lt == std::string::npos || name.back() != '>') r.fail("member line without range: " + line);
        row.chapters = name.substr(lt + 1);
        name.erase(lt);
      }
      row.name = name;
      p.rows.push_back(row);
      ++inGroup;
    }
    if (!inGroup) r.fail("empty folder group");
  }
  line = r.next("Total files listed");
  if (!startsWith(line, "Total files listed: ")) r.fail("no total files line");
  p.totalFiles = line.substr(20);
  line = r.next("Total bytes");
  if (!startsWith(line, "Total bytes in files listed: ")) r.fail("no total bytes line");
  p.totalBytes = line.substr(29);
  line = r.next("ratio");
  static const std::regex ratio(R"(^Whole archived data ratio: [0-9,]+ / [0-9,]+ = (\d+\.\d%)$)");
  if (!std::regex_match(line, m, ratio)) r.fail("bad ratio line: " + line);
  p.ratioLine = line;
  p.ratio = m[1];
  if (contains(p.flags, "SECURED")) {
    line = r.next("the envelope line");
    if (p.envelopeVerified != (line == "*** Valid JAR SECURITY envelope signature:"))
      r.fail("envelope line and verifying line disagree: " + line);
    line = r.next("the signature line");
    if (!startsWith(line, "    ") || line.size() <= 4) r.fail("bad signature line: " + line);
    p.signature = line.substr(4);
  } else if (p.envelopeVerified) {
    r.fail("a verified envelope without SECURED");
  }
  if (!r.atEnd()) r.fail("text after the totals: " + r.peek());
  if (std::to_string(p.rows.size()) != p.totalFiles) r.fail("total files differ from the rows");
  return p;
}

}  // namespace listing
