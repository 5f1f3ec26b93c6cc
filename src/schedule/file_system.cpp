#include "schedule/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

FileResult FileResult::fromErrno(int error) {
    return {error, QString::fromLocal8Bit(std::strerror(error))};
}

namespace {

// Closes a descriptor on every path out of a function.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

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

int syncDirectory(const QByteArray& directory) {
    Fd dir(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0 || ::fsync(dir.get()) != 0) {
        return errno;
    }
    return 0;
}

}  // namespace

bool PosixFileSystem::sameFile(const QString& a, const QString& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

FileResult PosixFileSystem::copyFile(const QString& source, const QString& target, bool durable) {
    Fd in(::open(QFile::encodeName(source).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (in.get() < 0) {
        return FileResult::fromErrno(errno);
    }
    struct stat info {};
    if (::fstat(in.get(), &info) != 0) {
        return FileResult::fromErrno(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return FileResult::fromErrno(EINVAL);
    }
    const QByteArray directory = QFile::encodeName(QFileInfo(target).path());
    QByteArray temp = directory + "/.quillon-copy-XXXXXX";
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0) {
        return FileResult::fromErrno(errno);
    }
    int error = copyData(in.get(), out.get());
    if (error == 0 && ::fchmod(out.get(), info.st_mode & 07777) != 0) {
        error = errno;
    }
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (error == 0 && ::futimens(out.get(), times) != 0) {
        error = errno;
    }
    if (error == 0 && durable && ::fsync(out.get()) != 0) {
        error = errno;
    }
    if (::close(out.release()) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.constData(), QFile::encodeName(target).constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.constData());
        return FileResult::fromErrno(error);
    }
    if (durable && (error = syncDirectory(directory)) != 0) {
        return FileResult::fromErrno(error);
    }
    return FileResult::success();
}

FileResult PosixFileSystem::renameFile(const QString& source, const QString& target) {
    if (::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) !=
        0) {
        return FileResult::fromErrno(errno);
    }
    return FileResult::success();
}

FileResult PosixFileSystem::removeFile(const QString& path) {
    if (::unlink(QFile::encodeName(path).constData()) != 0) {
        return FileResult::fromErrno(errno);
    }
    return FileResult::success();
}
