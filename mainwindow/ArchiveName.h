#pragma once
// The archive name handed to the archiver. Under Windows the archiver adds its default extension
// to a name without one unless the name ends in "."; under POSIX it takes every name as it is.

#include <string>

#include "platform/Paths.h"

std::string LiteralArchiveName(std::string path, platform::PathStyle style = platform::kHostPathStyle);
