#include "storage/trash_records.h"

#include <QSqlQuery>
#include <QVariant>

#include "storage/connection.h"

using namespace Qt::StringLiterals;

namespace TrashRecords {

void ensureTable(Connection& connection) {
    // Kept apart from the log's own tables: an entry waits in the trash for 保管日数, however
    // long the log keeps its row. One transaction, one durable commit.
    Transaction transaction(connection);
    connection.Execute(
        u"CREATE TABLE IF NOT EXISTS quillon_trash (id INTEGER PRIMARY KEY, row INTEGER,"
        u" run_id INTEGER, trashed TEXT, trash BLOB, name BLOB, device INTEGER, inode INTEGER,"
        u" size INTEGER, mtime INTEGER)"_s);
    connection.Execute(
        u"CREATE INDEX IF NOT EXISTS quillon_trash_trashed ON quillon_trash (trashed)"_s);
    transaction.commit();
}

QString recordText() {
    return u"INSERT INTO quillon_trash (row, run_id, trashed, trash, name, device, inode, size,"
           u" mtime) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"_s;
}

QList<TrashRecord> trashedBefore(Connection& connection, const QString& before) {
    QSqlQuery query = connection.bound(
        u"SELECT id, trash, name, device, inode, size, mtime"
        u" FROM quillon_trash WHERE trashed < ? ORDER BY id"_s,
        {before});
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
