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
    const FileResult result = fs.renameFile(sourceDir, name, targetDir);
    return result.error == EXDEV ? fs.moveAcross(sourceDir, name, info, targetDir) : result;
}
