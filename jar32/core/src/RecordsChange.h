// How changes and rh treat recovery records (Repair.cpp).
#pragma once

#include <string>

#include "jar32/Changes.h"
#include "jar32/Progress.h"
#include "jar32/Records.h"

namespace jar32 {

class ArchiveReader;

/// Warns that a damaged archive was read as its recovery records repair it (or that they
/// could not repair all of it).
void noteRepairs(const RecordsInfo& records, const std::string& path, Progress* progress);

/// The share of the new archive's records: -hk's, else the source's (0: none).
unsigned recordsShareFor(const ArchiveReader* source, const WriteSettings& s);

}  // namespace jar32
