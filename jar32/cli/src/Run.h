// What every command gets: the invocation, the outputs, the questions, and shared helpers.
#pragma once

#include <string>
#include <vector>

#include "Asker.h"
#include "Invocation.h"
#include "Output.h"
#include "Reporter.h"
#include "jar32/Archive.h"
#include "jar32/Changes.h"
#include "jar32/Progress.h"

namespace jar32::cli {

struct RunContext {
  const Invocation& inv;
  Output& out;
  Reporter& report;
  Asker& asker;
  std::string currentFolder;            // absolute
  std::vector<std::string> processed;   // member names for -l (only with -l)
};

/// Each command; returns normally or throws JarError / UsageError.
void runAdd(RunContext& run);
void runDelete(RunContext& run);
void runDeleteChapters(RunContext& run);
void runExtract(RunContext& run);
void runList(RunContext& run);
void runTest(RunContext& run);
void runCopy(RunContext& run);
void runRecoverHeader(RunContext& run);
void runWriteConfig(RunContext& run);

/// Progress lines on standard output, warnings to the reporter.
class PrintingProgress : public Progress {
 public:
  explicit PrintingProgress(RunContext& run) : run_(run) {}
  void member(Step step, const MemberInfo& m) override;
  void tested(const MemberInfo& m, bool ok) override;
  void warning(const std::string& text) override;
  size_t count(Step step) const { return counts_[static_cast<size_t>(step)]; }

 protected:
  RunContext& run_;
  size_t counts_[8] = {};
};

/// The password of -g ("" when none).
std::string passwordOf(const Options& options);

/// Engine settings from the switches; comments are read from their files here. Throws
/// JarError(kOpenError) for a missing comment file and JarError(kBadParams) for a comment
/// that breaks the rules.
WriteSettings writeSettingsOf(const Options& options);

/// writeSettingsOf, and what needs the run: the signing key (-hy; made on first use) and the
/// step between volumes (-vv bell, a question at a terminal unless -vi or -y).
WriteSettings writeSettingsFor(RunContext& run);

/// The chapters a selection covers in an archive of `count` chapters: none given means the
/// last chapter. Throws UsageError when nothing of the archive is selected.
ChapterRange selectChapters(const std::optional<ChapterBounds>& bounds, uint32_t count);
/// Opens only the versions of the chapters selectChapters() will pick (l, e, x: the others are
/// skipped while reading the directory).
void keepSelectedChapters(const std::optional<ChapterBounds>& bounds, OpenOptions& options);

/// Writes the -l list file (one member name a line, written as the listing shows it: control
/// characters and bytes that are not UTF-8 as '?') when asked for.
void writeListFile(RunContext& run);

/// The archive name as printed in "Processing archive: ".
std::string absoluteArchivePath(const RunContext& run, const std::string& archive);

}  // namespace jar32::cli
