#pragma once
// Where the maintenance commands put their files: the archive rebuilt from a damaged one, and the
// archiver's configuration file.

#include <string>

#include "platform/Paths.h"

// The file the archiver writes when it rebuilds a damaged archive: "$recover.j" beside it.
std::string RecoveryTarget(const std::string& damagedArchive, platform::PathStyle style = platform::kHostPathStyle);

// The folder the archiver reads its "jar.cfg" from: the folder of the program itself, found as
// it is started (a bare name through the program's own folder, then PATH) and with links followed.
// A program that is not found gives the folder part of its name.
std::string JarConfigFolder(const std::string& program);
