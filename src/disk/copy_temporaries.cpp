#include "disk/copy_temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "disk/file_system.h"

namespace {

constexpr char kPrefix[] = ".quillon-copy-";

QByteArray randomName() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name(kPrefix);
    std::uniform_int_distribution<int> pick(0, sizeof kDigits - 2);
    for (int i = 0; i < 12; ++i) {
        name += kDigits[pick(generator)];
    }
    return name;
}

// True when `fd` is still the file the directory calls `name`.
bool stillNamed(int directory, const char* name, int fd) {
    struct stat named {};
    struct stat held {};
    return ::fstatat(directory, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(fd, &held) == 0 && sameIdentity(named, held);
}

}  // namespace

CopyTemporary::CopyTemporary(int directory) : m_directory(directory) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_name = randomName();
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
        if (std::strncmp(entry->d_name, kPrefix, sizeof kPrefix - 1) != 0) {
            continue;
        }
        UniqueFd fd(
            ::openat(directory, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
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
