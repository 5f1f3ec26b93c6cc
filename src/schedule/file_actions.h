#pragma once

#include <sys/stat.h>

#include "schedule/file_system.h"

// Moves `name` from sourceDir to the same name in targetDir: a rename, or across file systems
// FileSystem::moveAcross. `info` is the source as just checked. A target that is another name
// of the same file already holds the data, so only the source name is removed. The caller
// makes sure the target directory is not the source directory reached another way.
FileResult moveTo(FileSystem& fs, int sourceDir, const char* name, const struct stat& info,
                  int targetDir);
