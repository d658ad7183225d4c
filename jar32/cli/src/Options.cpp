#include "Options.h"

#include <cctype>
#include <charconv>

#include "UsageError.h"

namespace jar32::cli {

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

[[noreturn]] void bad(const Token& item, const char* why) {
  throw UsageError(std::string(why) + ": " + item.text);
}

/// An on/off switch: bare = on, "-" = off.
bool onOff(const Token& item, const std::string& value) {
  if (value.empty()) return true;
  if (value == "-") return false;
  bad(item, "unknown switch");
}

/// A switch with a small mode number: bare = bareValue, digits within 0..maxValue, "-" = -1.
int mode(const Token& item, const std::string& value, int bareValue, int maxValue) {
  if (value.empty()) return bareValue;
  if (value == "-") return -1;
  if (value.size() == 1 && value[0] >= '0' && value[0] - '0' <= maxValue) return value[0] - '0';
  bad(item, "unknown switch");
}

bool parseBound(const std::string& text, uint32_t& out) {
  if (text.empty()) {
    out = 0;
    return true;
  }
  for (char c : text)
    if (c < '0' || c > '9') return false;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size() && out != 0;
}

CommentSwitch commentValue(const Token& item, size_t valueAt) {
  const std::string value = item.text.substr(valueAt);
  CommentSwitch c;
  if (value == "NUL" && !item.literalAt(valueAt)) {
    c.kind = CommentSwitch::Kind::Remove;
  } else if (!value.empty()) {
    c.kind = CommentSwitch::Kind::FromFile;
    c.file = value;
  }
  return c;
}

}  // namespace

std::optional<uint64_t> parseVolumeSize(const std::string& text) {
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == 0 || digits > 15 || text.size() > digits + 1) return std::nullopt;
  uint64_t n = 0;
  std::from_chars(text.data(), text.data() + digits, n);
  unsigned shift = n < 10000 ? 10 : 0;
  if (text.size() > digits) {
    switch (lower(text[digits])) {
      case 'k': shift = 10; break;
      case 'm': shift = 20; break;
      case 'g': shift = 30; break;
      default: return std::nullopt;
    }
  }
  if (n == 0 || n > (UINT64_MAX >> 31)) return std::nullopt;
  return n << shift;
}

std::optional<ChapterBounds> parseChapterRange(const std::string& text) {
  ChapterBounds b;
  const size_t dash = text.find('-');
  if (dash == std::string::npos) {
    if (text.empty() || !parseBound(text, b.first)) return std::nullopt;
    b.last = b.first;
    return b;
  }
  if (!parseBound(text.substr(0, dash), b.first) || !parseBound(text.substr(dash + 1), b.last))
    return std::nullopt;
  if (b.first && b.last && b.first > b.last) return std::nullopt;
  return b;
}

void applySwitch(const Token& item, Options& o) {
  const std::string& t = item.text;
  if (t.size() < 2 || t[0] != '-' || item.literalAt(0)) bad(item, "not a switch");
  // Names of two letters begin with h or j; the rest is the value.
  const char first = lower(t[1]);
  const bool twoLetters = (first == 'h' || first == 'j') && t.size() >= 3 && !item.literalAt(2);
  std::string name(1, first);
  if (twoLetters) name.push_back(lower(t[2]));
  const size_t valueAt = 1 + name.size();
  const std::string value = t.substr(valueAt);
  const bool literal = item.literalAt(valueAt);  // the value was (partly) quoted

  if (name == "g") {
    if ((value == "-" && !literal) || value.empty())
      o.password.reset();
    else
      o.password = value;
  } else if (name == "jg") {
    if (value.empty() && !literal) {
      o.newPassword = {NewPasswordSwitch::Kind::Keep, {}};
    } else if ((value == "-" && !literal) || value.empty()) {  // -jg- or -jg""
      o.newPassword = {NewPasswordSwitch::Kind::Remove, {}};
    } else {
      o.newPassword = {NewPasswordSwitch::Kind::Set, value};
    }
  } else if (name == "b") {
    o.archiveBits = mode(item, value, 0, 1);
  } else if (name == "f") {
    o.freshenMode = mode(item, value, 0, 2);
  } else if (name == "u") {
    o.updateMode = mode(item, value, 0, 2);
  } else if (name == "m") {
    const int m = mode(item, value, 0, 4);
    o.method = m < 0 ? 0 : m;
  } else if (name == "s") {
    o.timeStamp = mode(item, value, 0, 1);
  } else if (name == "jl") {
    o.lockMode = mode(item, value, 0, 2);
  } else if (name == "js") {
    o.chapterMode = mode(item, value, 2, 2);
  } else if (name == "hf") {
    o.lfnMode = mode(item, value, 0, 3);
  } else if (name == "hg") {
    o.protection = mode(item, value, 0, 1);
  } else if (name == "l") {
    o.listFile = (value == "-" && !literal) ? std::string() : value;
  } else if (name == "o") {
    o.outputPath = value;
  } else if (name == "w") {
    o.workFolder = value;
  } else if (name == "z") {
    o.archiveComment = commentValue(item, valueAt);
  } else if (name == "hz") {
    o.chapterComment = commentValue(item, valueAt);
  } else if (name == "v") {
    VolumeSwitches& v = o.volumes;
    const std::string form = value.empty() ? value : std::string(1, lower(value[0]));
    if (value == "-") {
      v.single = true;
      v.size = 0;
      v.autoSize = false;
    } else if (form == "i" && value.size() == 1) {
      v.inhibit = true;
    } else if (form == "v" && value.size() == 1) {
      v.beep = true;
    } else if (form == "a" && value.size() == 1) {
      v.autoSize = true;
      v.single = false;
    } else if (form == "r") {
      const auto size = parseVolumeSize(value.substr(1));
      if (!size) bad(item, "bad size");
      v.reserve = *size;
    } else {
      const auto size = parseVolumeSize(value);
      if (!size) bad(item, value.empty() ? "unknown switch" : "bad volume size");
      v.size = *size;
      v.single = false;
    }
  } else if (name == "hb") {
    // -hba0 -hbd0 -hbh0 -hbr0 -hbs0 leave an attribute out; a 1 (or nothing) takes it in again.
    if (value.empty() || value.size() > 2) bad(item, "unknown switch");
    const char which = lower(value[0]);
    bool include = true;
    if (value.size() == 2) {
      if (value[1] == '0') include = false;
      else if (value[1] != '1') bad(item, "unknown switch");
    }
    switch (which) {
      case 'a': o.includeArchive = include; break;
      case 'd': o.includeDirectories = include; break;
      case 'h': o.includeHidden = include; break;
      case 'r': o.includeReadOnly = include; break;
      case 's': o.includeSystem = include; break;
      default: bad(item, "unknown switch");
    }
  } else if (name == "y") {
    o.assumeYes = onOff(item, value);
  } else if (name == "d") {
    o.withDelete = onOff(item, value);
  } else if (name == "n") {
    o.onlyNew = onOff(item, value);
  } else if (name == "q") {
    o.query = onOff(item, value);
  } else if (name == "r") {
    o.recurse = onOff(item, value);
  } else if (name == "jf") {
    o.fullPath = onOff(item, value);
  } else if (name == "jr") {
    o.recoverBroken = onOff(item, value);
  } else if (name == "jt") {
    o.testTemp = onOff(item, value);
  } else if (name == "jx") {
    o.hideContents = onOff(item, value);
  } else if (name == "ja") {
    o.extendedAttributes = onOff(item, value);
  } else if (name == "ha") {
    o.ignoreReadOnly = onOff(item, value);
  } else if (name == "hy") {
    o.sign = onOff(item, value);
  } else if (name == "he") {
    o.skipEnvelopeTest = onOff(item, value);
  } else if (name == "hk") {
    // -hk, -hk<percent> (1..50), -hk-
    if (!value.empty() && value != "-") {
      int share = 0;
      for (char c : value) share = (c >= '0' && c <= '9' && share < 100) ? share * 10 + (c - '0') : 1000;
      if (share < 1 || share > 50) bad(item, "bad recovery records share (1..50 percent)");
      o.recordsShare = unsigned(share);
      o.addRecords = true;
    } else {
      o.addRecords = onOff(item, value);
      if (o.addRecords) o.recordsShare = 3;
    }
  } else if (name == "hx") {
    o.useRecords = onOff(item, value);
  } else if (name == "ht") {
    if (value == "0" || value.empty()) o.testNew = true;
    else if (value == "-") o.testNew = false;
    else bad(item, "unknown switch");
  } else if (name == "jc") {
    o.showChapterComments = onOff(item, value);
  } else if (name == "jb") {
    if (value.empty()) {
      o.chapters = ChapterBounds{};
    } else {
      auto range = parseChapterRange(value);
      if (!range) bad(item, "bad chapter range");
      o.chapters = *range;
    }
  } else if (name == "x") {
    if (!value.empty()) o.excludes.push_back(value);
  } else {
    bad(item, "unknown switch");
  }
}

}  // namespace jar32::cli
