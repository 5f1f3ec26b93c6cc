#include "schedule/file_actions.h"

#include <cerrno>

FileResult moveTo(FileSystem& fs, const QString& source, const QString& target) {
    FileResult result = fs.renameFile(source, target);
    if (result.error != EXDEV) {
        return result;
    }
    // Across file systems: the copy must be on disk before the source goes.
    result = fs.copyFile(source, target, true);
    if (!result.ok()) {
        return result;
    }
    return fs.removeFile(source);
}
