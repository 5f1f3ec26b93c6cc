#include "schedule/file_actions.h"

#include <cerrno>

FileResult moveTo(FileSystem& fs, int sourceDir, const char* name, const struct stat& info,
                  int targetDir) {
    // rename(2) between two names of one file does nothing and succeeds, so that case is found
    // first; only a file with more than one name can be in it.
    struct stat target {};
    if (info.st_nlink > 1 && fs.statAt(targetDir, name, target).ok() &&
        sameIdentity(target, info)) {
        return fs.removeFile(sourceDir, name);
    }
    FileResult result = fs.renameFile(sourceDir, name, targetDir);
    if (result.error != EXDEV) {
        return result;
    }
    // Across file systems: the copy must be on disk before the source goes.
    result = fs.copyFile(sourceDir, name, info, targetDir, true);
    if (!result.ok()) {
        return result;
    }
    return fs.removeFile(sourceDir, name);
}
