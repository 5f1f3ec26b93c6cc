#include "schedule/file_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <vector>

#include "schedule/copy_temporaries.h"
#include "schedule/unique_fd.h"

FileResult FileResult::fromErrno(int error) {
    return {error, QString::fromLocal8Bit(std::strerror(error))};
}

namespace {

// Copies every byte, in the kernel where the file systems allow it.
int copyData(int in, int out) {
    bool kernelCopy = true;
    std::vector<char> buffer;
    for (;;) {
        if (kernelCopy) {
            const ssize_t n = copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (n > 0) {
                continue;
            }
            if (n == 0) {
                return 0;
            }
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
                return errno;
            }
            kernelCopy = false;  // the offsets carry on where the kernel stopped
            buffer.resize(1 << 20);
        }
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got == 0) {
            return 0;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            done += put;
        }
    }
}

// Writes the open source into the open temporary: data, permission bits, times.
int fillCopy(int in, const struct stat& info, int out, bool durable) {
    if (const int error = copyData(in, out)) {
        return error;
    }
    if (::fchmod(out, info.st_mode & 07777) != 0) {
        return errno;
    }
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (::futimens(out, times) != 0) {
        return errno;
    }
    if (durable && ::fsync(out) != 0) {
        return errno;
    }
    return 0;
}

int syncDirectory(int directory) {
    // The directory may be held for its path only; fsync wants a descriptor that can read it.
    UniqueFd readable(::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!readable.valid() || ::fsync(readable.get()) != 0) {
        return errno;
    }
    return 0;
}

}  // namespace

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
                                     int targetDir, bool durable) {
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
    int error = fillCopy(in.get(), info, temp.fd(), durable);
    if (error == 0) {
        error = temp.commit(name);
    }
    if (error != 0) {
        return FileResult::fromErrno(error);
    }
    if (durable && (error = syncDirectory(targetDir)) != 0) {
        return FileResult::fromErrno(error);
    }
    return FileResult::success();
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
