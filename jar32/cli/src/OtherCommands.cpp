// t, y, rh, CFG.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "ChapterCommentText.h"
#include "Config.h"
#include "EnvelopeText.h"
#include "MemberNames.h"
#include "RecoveryUse.h"
#include "Scanner.h"
#include "Run.h"
#include "UsageError.h"

namespace jar32::cli {

namespace {

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

/// Asks before an existing file is replaced; false (with a warning) when it may not be.
bool mayReplace(RunContext& run, const std::string& path) {
  if (!exists(path)) return true;
  if (run.asker.ask("Replace " + escaped(path) + "?") == Asker::Answer::Yes) return true;
  throw JarError(kFatal, escaped(path) + " exists and was not replaced (-y replaces it)");
}

}  // namespace

void runTest(RunContext& run) {
  const Invocation& inv = run.inv;
  repairWithRecords(run);
  OpenOptions options = openOptionsOf(inv.options);
  options.records = RecordsUse::Repair;  // members are tested as the records repair them
  auto archive = Archive::open(inv.archive, passwordOf(inv.options), options);
  const EnvelopeInfo& envelope = archive->info().envelope;
  if (envelope.present) {
    run.out.put(envelope.verified ? "Valid JAR SECURITY envelope signature: "
                                  : "JAR SECURITY envelope not tested (-he), signed by: ");
    run.out.line(signatureText(envelope));
    if (envelope.verified && !signerTrusted(envelope))
      run.report.warning("the archive is signed by key " + keyFingerprint(envelope.publicKey) +
                         ", which is not one of your trusted keys");
  }
  printChapterComments(archive->info().chapterComments, {1, archive->info().chapterCount}, run.out);
  const RecordsInfo& records = archive->info().records;
  reportRecords(run, records);
  if (records.damaged())
    run.report.problem(kCrcError, records.repairable()
                                      ? "the archive is damaged; its recovery records repair it (x -hx extracts it repaired, -jr writes the repaired archive)"
                                      : "the archive is damaged past what its recovery records repair (x -jr extracts every intact member)");
  PrintingProgress progress(run);
  archive->test(&progress);
  run.out.line(records.damaged() ? "The members test intact as the recovery records repair them."
               : !records.rebuiltFooters.empty() ? "The members test intact."
                                                 : "No errors detected.");
}

void runCopy(RunContext& run) {
  const Invocation& inv = run.inv;
  WriteSettings settings = writeSettingsFor(run);
  if (!inv.options.addRecords) settings.recordsShare = 0;  // y without -hk removes them
  std::string output = inv.options.outputPath;
  if (!output.empty()) {
    struct stat a, b;
    if (stat(inv.archive.c_str(), &a) == 0 && stat(output.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
        a.st_ino == b.st_ino)
      output.clear();  // the archive itself: in place
    else
      mayReplace(run, output);
  }
  PrintingProgress progress(run);
  copyArchive(inv.archive, output, settings, &progress);
  run.out.put("Copied to ").line(escaped(output.empty() ? inv.archive : output));
}

void runRecoverHeader(RunContext& run) {
  const Invocation& inv = run.inv;
  const std::string output = "$recover.j";
  mayReplace(run, output);
  PrintingProgress progress(run);
  const size_t found = recoverHeader(inv.archive, output, passwordOf(inv.options), &progress);
  run.out.put("Recovered ").put(std::to_string(found)).put(found == 1 ? " member into " : " members into ");
  run.out.line(absolutePath(output, run.currentFolder));
}

void runWriteConfig(RunContext& run) {
  const std::string& path = run.inv.archive;
  if (exists(path) && run.asker.ask("Replace " + escaped(path) + "?") != Asker::Answer::Yes)
    throw JarError(kFatal, escaped(path) + " exists and was not replaced (-y replaces it)");
  // Written beside its place and renamed, so a reader never sees half a file.
  const std::string temp = path + ".~" + std::to_string(getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw JarError(kOpenError, "cannot create " + escaped(path) + ": " + std::strerror(errno));
    out << generatedConfigText();
    out.flush();
    if (!out) {
      std::remove(temp.c_str());
      throw JarError(kWriteError, "cannot write " + escaped(path));
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    std::remove(temp.c_str());
    throw JarError(kWriteError, "cannot write " + escaped(path) + ": " + std::strerror(err));
  }
  run.out.put("Configuration written to ").line(escaped(path));
}

}  // namespace jar32::cli
