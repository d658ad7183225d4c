// Test hooks: make a named step of the work fail, or hold the process there, to prove what a
// failure, a kill or a change on disk at that step does. Inactive unless a test arms them.
#pragma once

#include <chrono>
#include <string>

namespace jar32::fault {

/// Called at each named step. Throws JarError(kWriteError) when the step has been armed and
/// its countdown reaches zero; waits when a pause was set for it. Steps: "write", "sync",
/// "block", "directory", "rename", "committed" (the new archive is in place), "scanned" (the
/// sources were found), "prepared" (they were checked, nothing read yet), "source" (a source
/// file is about to be opened for its data), "opened" (it was opened, nothing read yet), "read"
/// (a source's data was read, not yet checked),
/// "finished" (jar32.exe did its work and is about to end).
void point(const char* step);
/// Arms `step` to fail on its n-th occurrence (1 = the next one). Empty step disarms.
void arm(const std::string& step, int n);
/// How often `step` was passed since the last arm() (to enumerate failure points).
int count(const std::string& step);
/// Waits until `step` was passed n times since the last arm() (other threads pass it); false
/// when the timeout comes first. Counting needs a step armed or a pause set.
bool waitForCount(const std::string& step, int n, std::chrono::milliseconds timeout);
/// At the n-th occurrence of `step`: writes one byte to notifyFd, then waits until a byte (or
/// the end) can be read from resumeFd. Empty step clears it.
void pause(const std::string& step, int n, int notifyFd, int resumeFd);
/// Reads a pause from the text "step:n:notifyFd:resumeFd" (the JAR32_TEST_PAUSE variable of
/// jar32.exe); false when it does not parse.
bool pauseFromText(const std::string& text);

}  // namespace jar32::fault
