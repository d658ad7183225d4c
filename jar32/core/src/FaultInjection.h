// Test hook: makes a named step of writing an archive fail, to prove that a failure at any step
// leaves the old archive untouched. Inactive unless a test arms it.
#pragma once

#include <string>

namespace jar32::fault {

/// Throws JarError(kWriteError) when the step named `step` has been armed and its countdown
/// reaches zero. Steps: "write", "sync", "rename", "commit", "block", "directory".
void point(const char* step);
/// Arms `step` to fail on its n-th occurrence (1 = the next one). Empty step disarms.
void arm(const std::string& step, int n);
/// How often `step` was passed since the last arm() (to enumerate failure points).
int count(const std::string& step);

}  // namespace jar32::fault
