#include "storage/sqlite_statement.h"

#include <QSqlDriver>

#include "storage/connection.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

sqlite3* sqliteHandle(Connection& connection) {
    const QVariant handle = connection.database().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        throw StorageError(u"no SQLite handle"_s);
    }
    return *static_cast<sqlite3* const*>(handle.constData());
}

StorageError sqliteError(sqlite3* handle) {
    return StorageError(QString::fromUtf8(sqlite3_errmsg(handle)));
}

Statement::Statement(sqlite3* handle, const QString& sql) {
    if (sqlite3_prepare16_v2(handle, sql.utf16(), -1, &m_statement, nullptr) != SQLITE_OK) {
        throw sqliteError(handle);
    }
}
