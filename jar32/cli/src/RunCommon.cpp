#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include <cstdio>

#include "Comment.h"
#include "EnvelopeText.h"
#include "MemberNames.h"
#include "Run.h"
#include "Scanner.h"
#include "UsageError.h"

namespace jar32::cli {

namespace {

const char* stepWord(Step step) {
  switch (step) {
    case Step::Adding: return "Adding     ";
    case Step::Replacing: return "Replacing  ";
    case Step::Unchanged: return "Unchanged  ";
    case Step::Skipping: return "Skipping   ";
    case Step::Deleting: return "Deleting   ";
    case Step::Testing: return "Testing    ";
  }
  return "           ";
}

std::optional<std::string> readComment(const CommentSwitch& c, const char* what) {
  switch (c.kind) {
    case CommentSwitch::Kind::Unchanged: return std::nullopt;
    case CommentSwitch::Kind::Remove: return std::string();
    case CommentSwitch::Kind::FromFile: break;
  }
  std::ifstream in(c.file, std::ios::binary);
  if (!in) throw JarError(kOpenError, std::string("cannot open the ") + what + " file " + c.file);
  std::string bytes;
  char buffer[8192];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    bytes.append(buffer, static_cast<size_t>(in.gcount()));
    if (bytes.size() > 65536) throw JarError(kBadParams, std::string("the ") + what + " is longer than 4096 bytes");
  }
  std::string text = normalizeComment(bytes);
  if (auto problem = commentProblem(text))
    throw JarError(kBadParams, std::string(what) + " refused: " + *problem);
  return text;
}

}  // namespace

void PrintingProgress::member(Step step, const MemberInfo& m) {
  ++counts_[static_cast<size_t>(step)];
  run_.out.put(stepWord(step)).put(escaped(m.name));
  if (m.kind == MemberKind::Folder) run_.out.put('\\');
  run_.out.put('\n');
  if ((step == Step::Adding || step == Step::Replacing || step == Step::Unchanged ||
       step == Step::Deleting) && !run_.inv.options.listFile.empty())
    run_.processed.push_back(m.name);
}

void PrintingProgress::tested(const MemberInfo& m, bool ok) {
  run_.out.put("Testing    ").put(escaped(m.name)).line(ok ? "  OK" : "  DAMAGED");
}

void PrintingProgress::warning(const std::string& text) { run_.report.warning(text); }

std::string passwordOf(const Options& o) { return o.password.value_or(std::string()); }

WriteSettings writeSettingsOf(const Options& o) {
  WriteSettings s;
  s.method = o.method;
  s.password = passwordOf(o);
  s.protection = o.protection < 0 ? 0 : o.protection;
  switch (o.newPassword.kind) {
    case NewPasswordSwitch::Kind::Keep: break;
    case NewPasswordSwitch::Kind::Set: s.newPassword = o.newPassword.password; break;
    case NewPasswordSwitch::Kind::Remove: s.newPassword = std::string(); break;
  }
  switch (o.lockMode) {
    case 0: s.lock = LockMode::Lock; break;
    case 1: s.lock = LockMode::LockChapters; break;
    case 2: s.lock = LockMode::AutoLock; break;
    default: s.lock = LockMode::Unchanged; break;
  }
  s.hideContents = o.hideContents;
  s.archiveComment = readComment(o.archiveComment, "archive comment");
  s.chapterComment = readComment(o.chapterComment, "chapter comment");
  s.workFolder = o.workFolder;
  s.testBeforeCommit = o.testTemp;
  s.testNewMembers = o.testNew;
  s.timeStamp = o.timeStamp == 0 ? TimeStampMode::Newest
                : o.timeStamp == 1 ? TimeStampMode::KeepOld
                                   : TimeStampMode::Now;
  s.skipEnvelopeTest = o.skipEnvelopeTest;
  s.recordsShare = o.addRecords ? int(o.recordsShare) : -1;  // y without -hk: see runCopy
  const VolumeSwitches& v = o.volumes;
  if (v.single) s.volumes.layout = VolumeSettings::Layout::Single;
  else if (v.size || v.autoSize) s.volumes.layout = VolumeSettings::Layout::Split;
  s.volumes.size = v.size;
  s.volumes.autoSize = v.autoSize;
  s.volumes.reserve = v.reserve;
  return s;
}

WriteSettings writeSettingsFor(RunContext& run) {
  const Options& o = run.inv.options;
  WriteSettings s = writeSettingsOf(o);
  if (o.sign) s.signWith = loadSigningKey(keyFolder(), signerNameOf(o));
  const bool ask = !o.volumes.inhibit && !run.asker.assumesYes() && ::isatty(STDIN_FILENO);
  s.volumes.placeEach = ask;
  s.volumes.nextVolume = [&run, ask, beep = o.volumes.beep](const std::string& path, uint32_t number) {
    if (beep) {
      std::fputc('\a', stderr);
      std::fflush(stderr);
    }
    run.out.put("Volume ").put(std::to_string(number)).put(": ").line(escaped(path));
    run.out.flush();
    if (!ask) return true;
    return run.asker.ask("Ready to write volume " + std::to_string(number) + " (" + escaped(path) + ")") ==
           Asker::Answer::Yes;
  };
  return s;
}

ChapterRange selectChapters(const std::optional<ChapterBounds>& bounds, uint32_t count) {
  if (!bounds) return {count, count};
  ChapterRange r{bounds->first ? bounds->first : 1, bounds->last ? bounds->last : count};
  if (r.last > count) r.last = count;
  if (r.first > r.last)
    throw UsageError("the archive has chapters 1-" + std::to_string(count) +
                     "; the range selects none of them");
  return r;
}

void keepSelectedChapters(const std::optional<ChapterBounds>& bounds, OpenOptions& options) {
  options.lastChapterOnly = !bounds;
  if (bounds) options.chapters = {bounds->first, bounds->last};
}

void writeListFile(RunContext& run) {
  const std::string& path = run.inv.options.listFile;
  if (path.empty()) return;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  // As the listing shows them: a name never spans two lines.
  for (const std::string& name : run.processed) out << printable(name) << '\n';
  if (!out) run.report.warning("cannot write the list file " + path);
}

std::string absoluteArchivePath(const RunContext& run, const std::string& archive) {
  return absolutePath(archive, run.currentFolder);
}

}  // namespace jar32::cli
