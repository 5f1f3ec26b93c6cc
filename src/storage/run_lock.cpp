#include "storage/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "storage/database_trust.h"

using namespace Qt::StringLiterals;

RunLock::RunLock(const QString& databasePath) {
    const QString path = databasePath + u".lock"_s;
    m_fd = ::open(QFile::encodeName(path).constData(),
                  O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        m_error = errno;
        return;
    }
    if (const std::optional<QString> problem = untrustedCompanion(databasePath, path, info)) {
        m_untrusted = *problem;
        return;
    }
    // A lock file of an earlier version others could read, and so lock, is made ours alone.
    if (info.st_uid == ::geteuid() && (info.st_mode & 077) != 0 && ::fchmod(m_fd, 0600) != 0) {
        m_error = errno;
        return;
    }
    m_held = ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    if (!m_held && errno != EWOULDBLOCK) {
        m_error = errno;
    }
}

RunLock::~RunLock() {
    if (m_fd >= 0) {
        ::close(m_fd);  // and with it the lock
    }
}
