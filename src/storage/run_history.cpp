#include "storage/run_history.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "storage/connection.h"
#include "storage/sqlite_statement.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

namespace RunHistory {

namespace {

const QString kTable = u"quillon_run"_s;
const QString kFailures = u"quillon_failure"_s;
const QString kFiles = u"quillon_file"_s;

// UTC, to the second, in a form that sorts as it reads.
QString utcText(const QDateTime& at) {
    return at.toUTC().toString(Qt::ISODate);
}

QSqlQuery run(Connection& connection, const QString& sql, const QVariantList& values = {}) {
    return connection.bound(sql, values);
}

// Every row the query yields, each made by `read`.
template <typename Read>
auto readAll(QSqlQuery& query, Read read) {
    QList<decltype(read(query))> rows;
    while (query.next()) {
        rows.append(read(query));
    }
    if (query.lastError().isValid()) {
        throw StorageError::fromSql(query.lastError());
    }
    return rows;
}

}  // namespace

void ensureTable(Connection& connection) {
    // In one transaction: a first run creates them all with one durable commit, not one each.
    Transaction transaction(connection);
    connection.Execute(u"CREATE TABLE IF NOT EXISTS "_s + kTable +
                       u" (id INTEGER PRIMARY KEY, program TEXT, started TEXT, finished TEXT,"
                       u" scheduled_minute TEXT, run_text TEXT, first_row INTEGER, rules TEXT,"
                       u" handled INTEGER, failed INTEGER, skipped INTEGER, message TEXT,"
                       u" unchecked INTEGER NOT NULL DEFAULT 1)"_s);
    connection.Execute(u"CREATE INDEX IF NOT EXISTS quillon_run_minute ON "_s + kTable +
                       u" (scheduled_minute)"_s);
    connection.Execute(u"CREATE TABLE IF NOT EXISTS "_s + kFailures +
                       u" (run_id INTEGER, path TEXT, reason TEXT)"_s);
    connection.Execute(u"CREATE INDEX IF NOT EXISTS quillon_failure_path ON "_s + kFailures +
                       u" (path)"_s);
    connection.Execute(u"CREATE INDEX IF NOT EXISTS quillon_failure_run ON "_s + kFailures +
                       u" (run_id)"_s);
    // One row a logged file, by the log row's id: the file as the run found it, and what its
    // copy, or its move across file systems, left at the target. A move within one file system
    // leaves the target empty: the file itself, renamed, is what stands there.
    connection.Execute(u"CREATE TABLE IF NOT EXISTS "_s + kFiles +
                       u" (row INTEGER PRIMARY KEY, run_id INTEGER, device INTEGER,"
                       u" inode INTEGER, size INTEGER, mtime INTEGER, target_device INTEGER,"
                       u" target_inode INTEGER, target_size INTEGER, target_mtime INTEGER)"_s);
    connection.Execute(u"CREATE INDEX IF NOT EXISTS quillon_file_run ON "_s + kFiles +
                       u" (run_id)"_s);
    // An undo names the run it takes back; a history of an earlier version has no such column.
    if (!run(connection,
             u"SELECT 1 FROM pragma_table_info('"_s + kTable + u"') WHERE name = 'undoes'"_s)
             .next()) {
        connection.Execute(u"ALTER TABLE "_s + kTable + u" ADD COLUMN undoes INTEGER"_s);
    }
    transaction.commit();
}

QString recordIdentityText() {
    return u"INSERT OR REPLACE INTO "_s + kFiles +
           u" (row, run_id, device, inode, size, mtime) VALUES (?, ?, ?, ?, ?, ?)"_s;
}

QString recordTargetText() {
    return u"UPDATE "_s + kFiles +
           u" SET target_device = ?, target_inode = ?, target_size = ?, target_mtime = ?"
           u" WHERE row = ?"_s;
}

QString forgetIdentityText(const QString& logTable) {
    return u"DELETE FROM "_s + kFiles + u" WHERE row = ?1 AND NOT EXISTS (SELECT 1 FROM "_s +
           logTable + u" WHERE rowid = ?1)"_s;
}

void prune(Connection& connection, const QString& before) {
    // The newest run stays whatever its age: the status line tells of it.
    const QString old = u"SELECT id FROM "_s + kTable +
                        u" WHERE run_text < ? AND id < (SELECT MAX(id) FROM "_s + kTable + u")"_s;
    Transaction transaction(connection);
    run(connection, u"DELETE FROM "_s + kFiles + u" WHERE run_id IN ("_s + old + u")"_s, {before});
    run(connection, u"DELETE FROM "_s + kFailures + u" WHERE run_id IN ("_s + old + u")"_s,
        {before});
    run(connection, u"DELETE FROM "_s + kTable + u" WHERE id IN ("_s + old + u")"_s, {before});
    transaction.commit();
}

bool served(Connection& connection, const QDateTime& scheduledMinute) {
    QSqlQuery query =
        run(connection, u"SELECT 1 FROM "_s + kTable + u" WHERE scheduled_minute = ?"_s,
            {utcText(scheduledMinute)});
    return query.next();
}

qint64 begin(Connection& connection, const QString& logTable, const Start& start) {
    const QVariant minute =
        start.scheduledMinute ? QVariant(utcText(*start.scheduledMinute)) : QVariant();
    QSqlQuery query =
        run(connection,
            u"INSERT INTO "_s + kTable +
                u" (program, started, scheduled_minute, run_text, first_row, rules, undoes)"
                u" VALUES (?, ?, ?, ?, (SELECT IFNULL(MAX(rowid), 0) FROM "_s +
                logTable + u"), ?, ?)"_s,
            {start.program, utcText(start.started), minute, start.runText, start.rules,
             start.undoes ? QVariant(*start.undoes) : QVariant()});
    return query.lastInsertId().toLongLong();
}

void finish(Connection& connection, qint64 id, const Finish& finish) {
    Transaction transaction(connection);
    for (const auto& [path, reason] : finish.failures) {
        run(connection, u"INSERT INTO "_s + kFailures + u" VALUES (?, ?, ?)"_s, {id, path, reason});
    }
    run(connection,
        u"UPDATE "_s + kTable +
            u" SET finished = ?, handled = ?, failed = ?, skipped = ?, message = ?,"
            u" unchecked = ? WHERE id = ?"_s,
        {utcText(QDateTime::currentDateTimeUtc()), qlonglong(finish.handled),
         qlonglong(finish.failed), qlonglong(finish.skipped),
         finish.message.isEmpty() ? QVariant() : QVariant(finish.message), finish.logTrue ? 0 : 1,
         id});
    transaction.commit();
}

QList<Unchecked> unchecked(Connection& connection) {
    QSqlQuery query = run(connection, u"SELECT id, run_text, first_row, rules FROM "_s + kTable +
                                          u" WHERE unchecked <> 0 ORDER BY id"_s);
    return readAll(query, [](const QSqlQuery& row) {
        return Unchecked{row.value(0).toLongLong(), row.value(1).toString(),
                         row.value(2).toLongLong(), row.value(3).toString()};
    });
}

QList<LoggedFile> handledRows(Connection& connection, const QString& logTable,
                              const Unchecked& unfinished) {
    QSqlQuery query =
        run(connection,
            u"SELECT l.rowid, l.対象ファイル, l.タイムスタンプ, l.処理内容, f.device, f.inode,"
            u" f.size, f.mtime FROM "_s +
                logTable + u" l LEFT JOIN "_s + kFiles +
                u" f ON f.row = l.rowid WHERE l.rowid > ? AND l.処理日時 = ?"
                u" AND l.処理内容 IN ('複写', '移動', '削除')"_s,
            {unfinished.firstRow, unfinished.runText});
    return readAll(query, [](const QSqlQuery& row) {
        LoggedFile file{row.value(0).toLongLong(), row.value(1).toString(), row.value(2).toString(),
                        row.value(3).toString(), std::nullopt};
        if (!row.isNull(4)) {
            file.identity = FileIdentity{row.value(4).toLongLong(), row.value(5).toLongLong(),
                                         row.value(6).toLongLong(), row.value(7).toLongLong()};
        }
        return file;
    });
}

void markChecked(Connection& connection, qint64 id) {
    run(connection, u"UPDATE "_s + kTable + u" SET unchecked = 0 WHERE id = ?"_s, {id});
}

namespace {

// The window reads the history and creates nothing: before the first run there is none.
bool tableExists(Connection& connection, const QString& table) {
    return run(connection, u"SELECT 1 FROM sqlite_master WHERE name = ?"_s, {table}).next();
}

}  // namespace

std::optional<QString> failureReason(Connection& connection, const QString& runText,
                                     const QString& path) {
    if (!tableExists(connection, kFailures)) {
        return std::nullopt;
    }
    QSqlQuery query = run(connection,
                          u"SELECT f.reason FROM "_s + kFailures + u" f JOIN "_s + kTable +
                              u" r ON r.id = f.run_id WHERE f.path = ? AND r.run_text = ?"
                              u" ORDER BY f.rowid DESC LIMIT 1"_s,
                          {path, runText});
    const QList<QString> reasons =
        readAll(query, [](const QSqlQuery& row) { return row.value(0).toString(); });
    return reasons.isEmpty() ? std::nullopt : std::optional(reasons.first());
}

std::optional<Recorded> lastFinished(Connection& connection) {
    if (!tableExists(connection, kTable)) {
        return std::nullopt;
    }
    QSqlQuery query =
        run(connection, u"SELECT id, program, run_text, handled, failed, message FROM "_s + kTable +
                            u" WHERE finished IS NOT NULL ORDER BY id DESC LIMIT 1"_s);
    const QList<Recorded> last = readAll(query, [](const QSqlQuery& row) {
        return Recorded{row.value(0).toLongLong(), row.value(1).toString(), true,
                        Finished{row.value(2).toString(), row.value(3).toLongLong(),
                                 row.value(4).toLongLong(), row.value(5).toString()}};
    });
    return last.isEmpty() ? std::nullopt : std::optional(last.first());
}

QList<Recorded> recent(Connection& connection, int limit) {
    if (!tableExists(connection, kTable)) {
        return {};
    }
    QSqlQuery query = run(connection,
                          u"SELECT id, program, finished IS NOT NULL, run_text, handled, failed,"
                          u" message FROM "_s +
                              kTable + u" ORDER BY id DESC LIMIT ?"_s,
                          {limit});
    return readAll(query, [](const QSqlQuery& row) {
        return Recorded{row.value(0).toLongLong(), row.value(1).toString(), row.value(2).toBool(),
                        Finished{row.value(3).toString(), row.value(4).toLongLong(),
                                 row.value(5).toLongLong(), row.value(6).toString()}};
    });
}

std::optional<QString> rulesOf(Connection& connection, qint64 id) {
    if (!tableExists(connection, kTable)) {
        return std::nullopt;
    }
    QSqlQuery query = run(connection, u"SELECT rules FROM "_s + kTable + u" WHERE id = ?"_s, {id});
    return query.next() ? std::optional(query.value(0).toString()) : std::nullopt;
}

QList<RunRow> rowsOf(Connection& connection, const QString& logTable, qint64 id) {
    const bool trash = tableExists(connection, u"quillon_trash"_s);
    // A run of a million files: read straight from SQLite, into a list made to size once.
    QSqlQuery counted =
        run(connection, u"SELECT COUNT(*) FROM "_s + kFiles + u" WHERE run_id = ?"_s, {id});
    const qsizetype expected = counted.next() ? counted.value(0).toLongLong() : 0;
    sqlite3* handle = sqliteHandle(connection);
    const Statement query(
        handle,
        u"SELECT l.rowid, l.対象ファイル, l.タイムスタンプ, l.処理内容, f.device, f.inode, f.size,"
        u" f.mtime, f.target_device, f.target_inode, f.target_size, f.target_mtime, "_s +
            (trash ? u"t.trash, t.name, t.device, t.inode, t.size, t.mtime"_s
                   : u"NULL, NULL, NULL, NULL, NULL, NULL"_s) +
            u" FROM "_s + kFiles + u" f JOIN "_s + logTable + u" l ON l.rowid = f.row "_s +
            (trash ? u"LEFT JOIN quillon_trash t ON t.row = f.row "_s : QString()) +
            u"WHERE f.run_id = ? AND l.処理内容 IN ('複写', '移動', '削除') ORDER BY l.rowid DESC"_s);
    sqlite3_stmt* row = query.get();
    sqlite3_bind_int64(row, 1, id);
    const auto number = [row](int column) { return sqlite3_column_int64(row, column); };
    const auto text = [row](int column) {
        const void* chars = sqlite3_column_text16(row, column);
        return QString(static_cast<const QChar*>(chars), sqlite3_column_bytes16(row, column) / 2);
    };
    const auto bytes = [row](int column) {
        const void* data = sqlite3_column_blob(row, column);
        return QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(row, column));
    };
    const auto identity = [&](int first) -> std::optional<FileIdentity> {
        if (sqlite3_column_type(row, first) == SQLITE_NULL) {
            return std::nullopt;
        }
        return FileIdentity{number(first), number(first + 1), number(first + 2), number(first + 3)};
    };
    QList<RunRow> rows;
    rows.reserve(expected);
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(row)) == SQLITE_ROW) {
        RunRow& file = rows.emplaceBack(
            RunRow{number(0), text(1), text(2), text(3), identity(4), identity(8), std::nullopt});
        if (sqlite3_column_type(row, 12) != SQLITE_NULL) {
            file.trashed = TrashRecord{0,          bytes(12),  bytes(13),  number(14),
                                       number(15), number(16), number(17), {}};
        }
    }
    if (stepped != SQLITE_DONE) {
        throw sqliteError(handle);
    }
    return rows;
}

}  // namespace RunHistory
