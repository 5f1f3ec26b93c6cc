#include "disk/copy_temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "disk/file_system.h"

namespace {

constexpr char kPrefix[] = ".quillon-copy-";
constexpr size_t kRandomLength = 12;

// Whether the name is one this program gives its temporaries: the prefix and the random part,
// nothing more, so a file that merely begins the same way is never taken for one.
bool temporaryName(const char* name) {
    const size_t prefix = sizeof kPrefix - 1;
    if (std::strncmp(name, kPrefix, prefix) != 0 || std::strlen(name) != prefix + kRandomLength) {
        return false;
    }
    return std::all_of(name + prefix, name + prefix + kRandomLength,
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

// True when `fd` is still the file the directory calls `name`.
bool stillNamed(int directory, const char* name, int fd) {
    struct stat named {};
    struct stat held {};
    return ::fstatat(directory, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(fd, &held) == 0 && sameIdentity(named, held);
}

}  // namespace

QByteArray randomText(size_t length) {
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray text(static_cast<qsizetype>(length), '\0');
    for (size_t filled = 0; filled < length;) {
        const ssize_t got = ::getrandom(text.data() + filled, length - filled, 0);
        if (got > 0) {
            filled += static_cast<size_t>(got);
        } else if (errno != EINTR) {
            break;  // no generator in the kernel (before Linux 3.17)
        }
    }
    // 256 is not a multiple of 36; the slight lean towards the first letters costs nothing here.
    for (char& c : text) {
        c = kDigits[static_cast<unsigned char>(c) % (sizeof kDigits - 1)];
    }
    return text;
}

CopyTemporary::CopyTemporary(int directory) : m_directory(directory) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_name = kPrefix + randomText(kRandomLength);
        UniqueFd fd(::openat(directory, m_name.constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.valid()) {
            if (errno == EEXIST) {
                continue;
            }
            m_error = errno;
            return;
        }
        // A cleaner may have found the file in the moment before it was locked and removed
        // it as dead: then this name is no longer ours, and another is taken.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
            stillNamed(directory, m_name.constData(), fd.get())) {
            m_fd = std::move(fd);
            return;
        }
    }
    m_error = EEXIST;
}

CopyTemporary::~CopyTemporary() {
    if (m_fd.valid() && !m_committed) {
        ::unlinkat(m_directory, m_name.constData(), 0);
    }
}

int CopyTemporary::commit(const char* name) {
    if (::renameat(m_directory, m_name.constData(), m_directory, name) != 0) {
        return errno;
    }
    m_committed = true;
    return 0;
}

void removeDeadTemporaries(int directory) {
    // Only a directory the run may list is looked at; one it may only write into keeps its
    // temporaries, as it always did.
    const int streamFd = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = streamFd < 0 ? nullptr : ::fdopendir(streamFd);
    if (dir == nullptr) {
        if (streamFd >= 0) {
            ::close(streamFd);
        }
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (!temporaryName(entry->d_name)) {
            continue;
        }
        UniqueFd fd(
            ::openat(directory, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        // Only this user's temporaries are this run's to clear; another user's file under such
        // a name, in a folder both write into, is theirs.
        if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid()) {
            continue;
        }
        // A live writer holds its lock; a dead one's was dropped by the kernel.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
            stillNamed(directory, entry->d_name, fd.get())) {
            ::unlinkat(directory, entry->d_name, 0);
        }
    }
    ::closedir(dir);
}
