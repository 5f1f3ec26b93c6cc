#include "schedule/file_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "schedule/copy_temporaries.h"
#include "schedule/file_copy.h"
#include "schedule/unique_fd.h"

FileResult FileResult::fromErrno(int error) {
    return {error, QString::fromLocal8Bit(std::strerror(error))};
}

OpenedDirectory PosixFileSystem::openDirectory(const QByteArray& path, bool mayBePathOnly) {
    return openDirectorySafely(path, mayBePathOnly);
}

bool PosixFileSystem::sameFile(const QString& a, const QString& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && sameIdentity(first, second);
}

FileResult PosixFileSystem::statAt(int directory, const char* name, struct stat& info) {
    if (::fstatat(directory, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return FileResult::fromErrno(errno);
    }
    return FileResult::success();
}

FileResult PosixFileSystem::copyFile(int sourceDir, const char* name, const struct stat& expected,
                                     int targetDir) {
    UniqueFd in(::openat(sourceDir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid()) {
        return FileResult::fromErrno(errno);
    }
    struct stat info {};
    if (::fstat(in.get(), &info) != 0) {
        return FileResult::fromErrno(errno);
    }
    if (!S_ISREG(info.st_mode) || !sameIdentity(info, expected)) {
        return FileResult::fromErrno(ESTALE);  // replaced since it was checked
    }
    CopyTemporary temp(targetDir);
    if (!temp.valid()) {
        return FileResult::fromErrno(temp.error());
    }
    int error = fillCopy(in.get(), info, temp.fd(), false);
    if (error == 0) {
        error = temp.commit(name);
    }
    return error == 0 ? FileResult::success() : FileResult::fromErrno(error);
}

FileResult PosixFileSystem::renameFile(int sourceDir, const char* name, int targetDir) {
    if (::renameat(sourceDir, name, targetDir, name) != 0) {
        return FileResult::fromErrno(errno);
    }
    return FileResult::success();
}

FileResult PosixFileSystem::removeFile(int directory, const char* name) {
    if (::unlinkat(directory, name, 0) != 0) {
        return FileResult::fromErrno(errno);
    }
    return FileResult::success();
}
