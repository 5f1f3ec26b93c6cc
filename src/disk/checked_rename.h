#pragma once

#include <sys/stat.h>

#include "disk/file_system.h"

// rename(2) without replacing what stands at `to`; errno, 0 on success. On a file system without
// RENAME_NOREPLACE it looks first, then renames.
int renameNoReplace(int fromDir, const char* from, int toDir, const char* to);

// Renames `name` of sourceDir to `targetName` in targetDir: with `replace` over what stands
// there, else EEXIST where something does; EXDEV across file systems. What arrives must be
// `expected` (device and inode): anything swapped in under the name since it was checked goes
// back to sourceDir, and the answer is ESTALE.
FileResult renameChecked(int sourceDir, const char* name, const struct stat& expected,
                         int targetDir, const char* targetName, bool replace);
