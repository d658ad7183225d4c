// d, da: delete members by name; dc: delete a range of chapters.
#include <unordered_map>

#include "MemberNames.h"
#include "MemberSelection.h"
#include "Run.h"
#include "UsageError.h"

namespace jar32::cli {

void runDelete(RunContext& run) {
  const Invocation& inv = run.inv;
  if (inv.names.empty()) throw UsageError("no names given to delete (\"*\" deletes everything)");
  if (inv.options.chapters) throw UsageError("-jb cannot select chapters for deletion (use dc)");
  const MemberSelection selection(inv.names);
  const WriteSettings settings = writeSettingsFor(run);
  // The engine may see a version more than once; ask once per name.
  std::unordered_map<std::string, bool> answers;
  const auto match = [&](const MemberInfo& m) {
    const bool folder = m.kind == MemberKind::Folder;
    if (!selection.matches(m.name, folder) ||
        memberExcluded(inv.options.excludes, m.name, folder))
      return false;
    if (!inv.options.query) return true;
    auto [it, isNew] = answers.try_emplace(m.name, false);
    if (isNew) it->second = run.asker.ask("Delete " + escaped(m.name) + "?") == Asker::Answer::Yes;
    return it->second;
  };
  PrintingProgress progress(run);
  const size_t changed = deleteMembers(inv.archive, match, inv.command == Command::DeleteAll,
                                       settings, &progress);
  run.out.put("Deleted ").put(std::to_string(changed)).line(changed == 1 ? " version." : " versions.");
  if (changed == 0) run.report.warning("nothing in the archive matches the names given");
  writeListFile(run);
}

void runDeleteChapters(RunContext& run) {
  const Invocation& inv = run.inv;
  if (!inv.options.excludes.empty())
    run.report.warning("dc deletes whole chapters: the -x names were not used");
  const WriteSettings settings = writeSettingsFor(run);
  PrintingProgress progress(run);
  const ChapterRange range{inv.deleteRange->first, inv.deleteRange->last};
  deleteChapters(inv.archive, range, settings, &progress);
  run.out.put("Deleted chapters ");
  run.out.put(range.first ? std::to_string(range.first) : std::string("1")).put('-');
  run.out.line(range.last ? std::to_string(range.last) : std::string("last"));
}

}  // namespace jar32::cli
