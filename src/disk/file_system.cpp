#include "disk/file_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "disk/copy_temporaries.h"
#include "disk/error_text.h"
#include "disk/file_copy.h"
#include "disk/trash.h"

using namespace Qt::StringLiterals;
#include "disk/unique_fd.h"

FileResult FileResult::fromErrno(int error) {
    return {error, errorText(error)};
}

FileResult FileSystem::moveFile(int sourceDir, const char* name, const struct stat& info,
                                int targetDir, bool replace) {
    // rename(2) between two names of one file does nothing and succeeds, so that case is found
    // first; only a file with more than one name can be in it.
    struct stat target {};
    if (info.st_nlink > 1 && statAt(targetDir, name, target).ok() && sameIdentity(target, info)) {
        return removeFile(sourceDir, name);
    }
    const FileResult result = renameFile(sourceDir, name, info, targetDir, replace);
    return result.error == EXDEV && replace ? moveAcross(sourceDir, name, info, targetDir) : result;
}

OpenedDirectory PosixFileSystem::openDirectory(const QByteArray& path, bool mayBePathOnly) {
    return openDirectorySafely(path, mayBePathOnly);
}

FileResult PosixFileSystem::statOpen(int fd, struct stat& info) {
    if (::fstat(fd, &info) != 0) {
        return FileResult::fromErrno(errno);
    }
    return FileResult::success();
}

std::shared_ptr<const Listing> PosixFileSystem::listDirectory(
    int directory, const QString& extension, const KeepFile& keep,
    const std::function<void()>& progress) {
    return std::make_shared<const Listing>(ReadDir(directory, extension, keep, progress));
}

DirectoryNames PosixFileSystem::listNames(int directory) {
    return ReadNames(directory);
}

void PosixFileSystem::removeDeadTemporaries(int directory) {
    ::removeDeadTemporaries(directory);
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

bool PosixFileSystem::mayWriteIn(int directory) {
    return ::faccessat(directory, ".", W_OK | X_OK, AT_EACCESS) == 0;
}

FileResult PosixFileSystem::removeFile(int directory, const char* name) {
    if (::unlinkat(directory, name, 0) != 0) {
        return FileResult::fromErrno(errno);
    }
    return FileResult::success();
}

PosixFileSystem::PosixFileSystem() : m_trash(std::make_unique<Trash>()) {}

PosixFileSystem::~PosixFileSystem() = default;

FileResult PosixFileSystem::trashFile(int directory, const char* name, const struct stat& expected,
                                      const QByteArray& originalPath, const QDateTime& deletedAt,
                                      TrashEntry& entry) {
    return m_trash->put(directory, name, expected, originalPath, deletedAt, entry);
}

FileResult PosixFileSystem::keepInTrash(int directory, const char* name,
                                        const struct stat& expected, const QByteArray& originalPath,
                                        const QDateTime& deletedAt, TrashEntry& entry) {
    return m_trash->keep(directory, name, expected, originalPath, deletedAt, entry);
}

void PosixFileSystem::takeBackFromTrash(const TrashEntry& entry) {
    m_trash->takeBack(entry);
}

QString PosixFileSystem::trashProblem(int directory, dev_t device) {
    const QString problem = m_trash->problemFor(directory, device);
    return problem.isEmpty() ? problem : u"ごみ箱に移せません："_s + problem;
}

FileResult PosixFileSystem::restoreFromTrash(const TrashEntry& entry, const struct stat& expected,
                                             int targetDir, const char* name) {
    return m_trash->restore(entry, expected, targetDir, name);
}

FileResult PosixFileSystem::statTrashed(const TrashEntry& entry, struct stat& info) {
    return m_trash->stat(entry, info);
}

FileResult PosixFileSystem::emptyTrashed(const TrashEntry& entry, const struct stat& expected) {
    return m_trash->remove(entry, expected);
}
