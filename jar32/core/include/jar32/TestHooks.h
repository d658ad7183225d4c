// Hooks for end-to-end tests of jar32.exe: hold the program at a named step so that a test can
// change files on disk or kill it there. Without the variable below nothing happens.
#pragma once

namespace jar32 {

/// Reads JAR32_TEST_PAUSE ("step:n:notifyFd:resumeFd"): at the n-th time the step is passed,
/// one byte is written to notifyFd and the program waits for a byte (or the end) on resumeFd.
/// The steps are listed in the engine's fault points.
void installTestHooksFromEnvironment();
/// A named step of the program outside the engine (for example "scanned").
void testPoint(const char* step);

}  // namespace jar32
