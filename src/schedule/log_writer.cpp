#include "schedule/log_writer.h"

#include <sqlite3.h>

#include <QSqlDriver>

#include "storage/connection.h"
#include "storage/sql_text.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

LogWriter::LogWriter(const ModuleValues& values)
    : m_table(values.tbl_log), m_thread([this, values] { work(values); }) {}

LogWriter::~LogWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void LogWriter::submit(QList<LogRow> rows, QList<LogCorrection> corrections) {
    {
        std::lock_guard lock(m_mutex);
        m_batch = Batch{std::move(rows), std::move(corrections)};
    }
    m_changed.notify_all();
}

QList<qint64> LogWriter::waitCommitted() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_batch || m_error; });
    if (m_error) {
        std::rethrow_exception(m_error);
    }
    return std::move(m_rowids);
}

namespace {

// The connection's own SQLite handle: the rows go straight to SQLite, which costs a fraction of
// what the same rows cost through Qt's bound values, and the writer keeps pace with the files.
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

// One prepared statement, finalized with its scope.
class Statement {
public:
    Statement(sqlite3* handle, const QString& sql) {
        if (sqlite3_prepare16_v2(handle, sql.utf16(), -1, &m_statement, nullptr) != SQLITE_OK) {
            throw sqliteError(handle);
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_statement; }

private:
    sqlite3_stmt* m_statement = nullptr;
};

}  // namespace

QList<qint64> LogWriter::commit(Connection& connection, const Batch& batch) {
    Transaction transaction(connection);
    for (const LogCorrection& correction : batch.corrections) {
        connection.Execute(correction.process.isEmpty()
                               ? SqlText::deleteLogRow(m_table, correction.rowid, correction.path)
                               : SqlText::updateLogProcess(m_table, correction.rowid,
                                                           correction.path, correction.process));
    }
    QList<qint64> rowids;
    rowids.reserve(batch.rows.size());
    if (!batch.rows.isEmpty()) {
        // One statement serves every row: parsing each row's text would cost more than storing
        // it.
        sqlite3* handle = sqliteHandle(connection);
        const Statement insert(handle, SqlText::insertLogPrepared(m_table));
        for (const LogRow& row : batch.rows) {
            int column = 0;
            for (const QString* value : {&row.path, &row.stamp, &row.process, &row.runText}) {
                // Bound as UTF-16 text, as Qt binds a text value.
                sqlite3_bind_text16(insert.get(), ++column, value->utf16(),
                                    static_cast<int>(value->size() * 2), SQLITE_STATIC);
            }
            if (sqlite3_step(insert.get()) != SQLITE_DONE) {
                throw sqliteError(handle);
            }
            rowids.append(sqlite3_last_insert_rowid(handle));
            sqlite3_reset(insert.get());
        }
    }
    transaction.commit();
    return rowids;
}

void LogWriter::work(const ModuleValues& values) {
    std::optional<Connection> connection;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || (m_batch && !m_error); });
        if (m_stop) {
            return;
        }
        const Batch batch = *m_batch;
        lock.unlock();
        std::exception_ptr error;
        QList<qint64> rowids;
        try {
            if (!connection) {
                connection.emplace(values);  // a Qt connection belongs to the thread that opened it
            }
            rowids = commit(*connection, batch);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        m_error = error;
        if (!error) {
            m_rowids = std::move(rowids);
            m_batch.reset();
        }
        m_changed.notify_all();
    }
}
