// What the reading commands do with recovery records: -jr repairs the archive on disk first,
// -hx reads it repaired, t reports what the records can and cannot repair.
#pragma once

#include "Run.h"
#include "jar32/Records.h"

namespace jar32::cli {

/// How a command reads the records: t always checks them, -hx and -jr read repaired.
RecordsUse recordsUseFor(const RunContext& run);

/// -jr: replaces a damaged archive whose records repair all of it by the repaired one
/// (after that tested clean), and says what happened. Nothing without -jr.
void repairWithRecords(RunContext& run);

/// t: one line for intact records, else the damage they can repair and the damage they
/// cannot, each on its own line.
void reportRecords(RunContext& run, const RecordsInfo& records);

/// x/e: what was read repaired.
void reportRepairs(RunContext& run, const RecordsInfo& records);

}  // namespace jar32::cli
