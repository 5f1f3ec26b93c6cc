#include "storage/log_rows.h"

#include "storage/connection.h"
#include "storage/run_history.h"
#include "storage/sql_text.h"
#include "storage/sqlite_statement.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

namespace {

// Binds the numbers in order, runs the statement once and resets it for the next.
void bindAndStep(sqlite3* handle, sqlite3_stmt* statement, std::initializer_list<qint64> values) {
    int column = 0;
    for (const qint64 value : values) {
        sqlite3_bind_int64(statement, ++column, value);
    }
    if (sqlite3_step(statement) != SQLITE_DONE) {
        throw sqliteError(handle);
    }
    sqlite3_reset(statement);
}

}  // namespace

QList<qint64> commitLogBatch(Connection& connection, const QString& table, qint64 runId,
                             const QList<LogRow>& rows, const QList<LogCorrection>& corrections) {
    Transaction transaction(connection);
    sqlite3* handle = sqliteHandle(connection);
    if (!corrections.isEmpty()) {
        const Statement target(handle, RunHistory::recordTargetText());
        const Statement forget(handle, RunHistory::forgetIdentityText(table));
        std::optional<Statement> trash;  // made at the first file that went to the trash
        for (const LogCorrection& correction : corrections) {
            if (correction.trashed) {
                const TrashRecord& trashed = *correction.trashed;
                if (!trash) {
                    trash.emplace(handle, TrashRecords::recordText());
                }
                sqlite3_stmt* statement = trash->get();
                sqlite3_bind_int64(statement, 1, correction.rowid);
                sqlite3_bind_int64(statement, 2, runId);
                const QByteArray when = trashed.trashed.toUtf8();
                sqlite3_bind_text(statement, 3, when.constData(), static_cast<int>(when.size()),
                                  SQLITE_STATIC);
                sqlite3_bind_blob(statement, 4, trashed.trash.constData(),
                                  static_cast<int>(trashed.trash.size()), SQLITE_STATIC);
                sqlite3_bind_blob(statement, 5, trashed.name.constData(),
                                  static_cast<int>(trashed.name.size()), SQLITE_STATIC);
                int column = 5;
                for (const qint64 value :
                     {trashed.device, trashed.inode, trashed.size, trashed.mtime}) {
                    sqlite3_bind_int64(statement, ++column, value);
                }
                if (sqlite3_step(statement) != SQLITE_DONE) {
                    throw sqliteError(handle);
                }
                sqlite3_reset(statement);
            }
            if (correction.target) {
                const FileIdentity& identity = *correction.target;
                bindAndStep(handle, target.get(),
                            {identity.device, identity.inode, identity.size, identity.mtime,
                             correction.rowid});
            } else if (correction.trashed) {
                // Its file went to the trash: the row stands as the run wrote it.
            } else if (correction.process.isEmpty()) {
                connection.Execute(SqlText::deleteLogRow(table, correction.rowid, correction.path));
                bindAndStep(handle, forget.get(), {correction.rowid});
            } else {
                connection.Execute(SqlText::updateLogProcess(table, correction.rowid,
                                                             correction.path, correction.process));
            }
        }
    }
    QList<qint64> rowids;
    rowids.reserve(rows.size());
    if (!rows.isEmpty()) {
        // One statement serves every row: parsing each row's text would cost more than storing
        // it.
        const Statement insert(handle, SqlText::insertLogPrepared(table));
        const Statement identities(handle, RunHistory::recordIdentityText());
        for (const LogRow& row : rows) {
            int column = 0;
            for (const QString* value : {&row.path, &row.stamp, &row.process, &row.runText}) {
                // Bound as UTF-16 text, as Qt binds a text value.
                sqlite3_bind_text16(insert.get(), ++column, value->utf16(),
                                    static_cast<int>(value->size() * 2), SQLITE_STATIC);
            }
            if (sqlite3_step(insert.get()) != SQLITE_DONE) {
                throw sqliteError(handle);
            }
            const qint64 rowid = sqlite3_last_insert_rowid(handle);
            rowids.append(rowid);
            sqlite3_reset(insert.get());
            const FileIdentity& identity = row.identity;
            bindAndStep(
                handle, identities.get(),
                {rowid, runId, identity.device, identity.inode, identity.size, identity.mtime});
        }
    }
    transaction.commit();
    return rowids;
}
