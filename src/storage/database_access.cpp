#include "storage/database_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "storage/database_trust.h"

using namespace Qt::StringLiterals;

namespace {

// errno when this process may not do `mode` to the path, 0 when it may.
int refused(const QByteArray& path, int mode) {
    return ::faccessat(AT_FDCWD, path.constData(), mode, AT_EACCESS) == 0 ? 0 : errno;
}

}  // namespace

QString unwritableMessage(const QString& path, int error) {
    return u"データベース "_s + path + u" に書き込めません（"_s +
           QString::fromLocal8Bit(std::strerror(error)) + u"）"_s;
}

ModuleValues readOnlyValues(const ModuleValues& values) {
    ModuleValues readOnly = values;
    // Without -wal and -shm, nothing is waiting in a journal: the file alone is the database,
    // and it is read as it stands. Otherwise a plain read-only open uses the journal files that
    // are already there.
    const bool journalled = QFileInfo::exists(values.db_path + u"-wal"_s) ||
                            QFileInfo::exists(values.db_path + u"-shm"_s);
    readOnly.cn_str.replace(u"?mode=rw"_s, journalled ? u"?mode=ro"_s : u"?mode=ro&immutable=1"_s);
    return readOnly;
}

std::optional<QString> unwritableDatabase(const ModuleValues& values) {
    const QByteArray database = QFile::encodeName(values.db_path);
    const QByteArray directory = QFile::encodeName(QFileInfo(values.db_path).absolutePath());
    // The journal files and the run's lock are created beside the database.
    if (const int error = refused(directory, W_OK | X_OK)) {
        return unwritableMessage(values.db_path, error);
    }
    struct stat databaseInfo {};
    if (::stat(database.constData(), &databaseInfo) != 0) {
        return errno == ENOENT ? std::nullopt
                               : std::optional(unwritableMessage(values.db_path, errno));
    }
    if (const int error = refused(database, R_OK | W_OK)) {
        return unwritableMessage(values.db_path, error);
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        const QByteArray journal = database + suffix;
        struct stat info {};
        if (::lstat(journal.constData(), &info) != 0) {
            continue;  // not there: SQLite creates it with the database's permissions
        }
        int error = refused(journal, R_OK | W_OK);
        if (error == EACCES && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            ::chmod(journal.constData(), databaseInfo.st_mode & 0666) == 0) {
            error = refused(journal, R_OK | W_OK);
        }
        if (error != 0) {
            return unwritableMessage(values.db_path, error);
        }
    }
    return std::nullopt;
}

std::optional<QString> refusedDatabase(const ModuleValues& values, DatabaseUse use) {
    if (std::optional<QString> untrusted = untrustedDatabase(values.db_path)) {
        return untrusted;
    }
    return use == DatabaseUse::Write ? unwritableDatabase(values) : std::nullopt;
}

QString missingDatabaseMessage(const QString& path) {
    return u"データベース "_s + path + u" がありません"_s;
}
