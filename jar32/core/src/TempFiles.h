// Names of temporary archives (they carry the writer's pid so later runs can clean up).
#pragma once

namespace jar32 {

inline constexpr const char* kTempPrefix = "~jar32-";
inline constexpr const char* kTempSuffix = ".tmp";

}  // namespace jar32

#include "jar32/Interrupt.h"
