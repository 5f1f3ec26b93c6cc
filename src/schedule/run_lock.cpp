#include "schedule/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <QFile>
#include <cerrno>

using namespace Qt::StringLiterals;

RunLock::RunLock(const QString& databasePath) {
    // Read-only is enough for flock, so any user who may run on the database may take it.
    m_fd.reset(::open(QFile::encodeName(databasePath + u".lock"_s).constData(),
                      O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!m_fd.valid()) {
        m_error = errno;
        return;
    }
    m_held = ::flock(m_fd.get(), LOCK_EX | LOCK_NB) == 0;
    if (!m_held && errno != EWOULDBLOCK) {
        m_error = errno;
    }
}

QString runInProgressMessage(const QString& databasePath) {
    return u"別の実行が進行中です（"_s + databasePath + u"）"_s;
}
