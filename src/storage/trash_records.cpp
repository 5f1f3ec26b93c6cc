#include "storage/trash_records.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "storage/connection.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

namespace TrashRecords {

void ensureTable(Connection& connection) {
    // Kept apart from the log's own tables: an entry waits in the trash for 保管日数, however
    // long the log keeps its row.
    connection.Execute(
        u"CREATE TABLE IF NOT EXISTS quillon_trash (id INTEGER PRIMARY KEY, row INTEGER,"
        u" run_id INTEGER, trashed TEXT, trash BLOB, name BLOB, device INTEGER, inode INTEGER,"
        u" size INTEGER, mtime INTEGER)"_s);
    connection.Execute(
        u"CREATE INDEX IF NOT EXISTS quillon_trash_trashed ON quillon_trash (trashed)"_s);
}

QString recordText() {
    return u"INSERT INTO quillon_trash (row, run_id, trashed, trash, name, device, inode, size,"
           u" mtime) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"_s;
}

QList<TrashRecord> trashedBefore(Connection& connection, const QString& before) {
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.prepare(u"SELECT id, trash, name, device, inode, size, mtime FROM quillon_trash"
                       u" WHERE trashed < ? ORDER BY id"_s)) {
        throw StorageError::fromSql(query.lastError());
    }
    query.addBindValue(before);
    if (!query.exec()) {
        throw StorageError::fromSql(query.lastError());
    }
    QList<TrashRecord> records;
    while (query.next()) {
        records.append({query.value(0).toLongLong(),
                        query.value(1).toByteArray(),
                        query.value(2).toByteArray(),
                        query.value(3).toLongLong(),
                        query.value(4).toLongLong(),
                        query.value(5).toLongLong(),
                        query.value(6).toLongLong(),
                        {}});
    }
    return records;
}

void forget(Connection& connection, qint64 id) {
    connection.Execute(u"DELETE FROM quillon_trash WHERE id = "_s + QString::number(id));
}

}  // namespace TrashRecords
