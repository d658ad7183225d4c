#include "RecoveryUse.h"

#include "MemberNames.h"

namespace jar32::cli {
namespace {

std::string places(const RecordsInfo& r, bool repairable) {
  size_t count = 0;
  std::string first;
  for (const DamagedRange& d : r.ranges) {
    if (d.repairable != repairable) continue;
    if (count++ == 0) first = std::to_string(d.offset);
  }
  if (count == 0) return {};
  return " in " + std::to_string(count) + (count == 1 ? " place" : " places") + ", from offset " + first;
}

void printFooters(RunContext& run, const RecordsInfo& r) {
  for (const std::string& name : r.rebuiltFooters)
    run.out.put("  The footer of volume ").put(escaped(name))
        .line(" is damaged; it was rebuilt from the other volumes.");
}

}  // namespace

RecordsUse recordsUseFor(const RunContext& run) {
  const Options& o = run.inv.options;
  if (o.useRecords || o.recoverBroken) return RecordsUse::Repair;
  return run.inv.command == Command::Test ? RecordsUse::Check : RecordsUse::Locate;
}

void repairWithRecords(RunContext& run) {
  const Options& o = run.inv.options;
  if (!o.recoverBroken) return;
  PrintingProgress progress(run);
  const RecordsInfo r = repairArchive(run.inv.archive, passwordOf(o), !o.skipEnvelopeTest, &progress);
  if (!r.present && !r.rebuiltFooters.empty()) {
    run.out.line("Rebuilt the damaged volume footers from the other volumes; the set tested clean and was written anew.");
    printFooters(run, r);
    return;
  }
  if (!r.present || !r.damaged()) return;
  if (r.repairable()) {
    run.out.put("Repaired from the recovery records: ").put(std::to_string(r.damagedBytes))
        .put(" damaged bytes").put(places(r, true)).line("; the repaired archive tested clean and replaced the damaged one.");
    printFooters(run, r);
    return;
  }
  run.report.problem(kCrcError, "the damage of " + escaped(run.inv.archive) +
                                    " is past what its recovery records repair (" +
                                    std::to_string(r.unrepairableBytes) +
                                    " bytes); the archive is unchanged, every intact member is read");
}

void reportRecords(RunContext& run, const RecordsInfo& r) {
  if (!r.present) {
    if (r.rebuiltFooters.empty()) return;
    run.out.line("Volume set: damaged.");
    printFooters(run, r);
    run.report.problem(kCrcError, "volume footers of " + escaped(run.inv.archive) +
                                      " are damaged; the set reads without them (-jr writes it anew)");
    return;
  }
  run.out.put("Recovery records (").put(std::to_string(r.share)).put("%): ");
  if (!r.checked) {
    run.out.line("not checked.");
    return;
  }
  if (!r.damaged()) {
    run.out.line("no damage found.");
    return;
  }
  run.out.line("the archive is damaged.");
  if (r.repairableBytes)
    run.out.put("  Damage the recovery records can repair: ").put(std::to_string(r.repairableBytes))
        .put(" bytes").put(places(r, true)).line(".");
  if (r.unrepairableBytes)
    run.out.put("  Damage the recovery records cannot repair: ").put(std::to_string(r.unrepairableBytes))
        .put(" bytes").put(places(r, false)).line(".");
  printFooters(run, r);
}

void reportRepairs(RunContext& run, const RecordsInfo& r) {
  printFooters(run, r);
  if (!r.present || !r.damaged()) return;
  if (r.repaired)
    run.out.put("Repaired in memory from the recovery records: ").put(std::to_string(r.repairedBytes))
        .put(" bytes").put(places(r, true)).line(".");
  if (r.unrepairableBytes)
    run.report.warning(std::to_string(r.unrepairableBytes) +
                       " damaged bytes are past what the recovery records repair");
}

}  // namespace jar32::cli
