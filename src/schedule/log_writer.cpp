#include "schedule/log_writer.h"

#include <QSqlError>
#include <QSqlQuery>

#include "storage/connection.h"
#include "storage/sql_text.h"
#include "storage/storage_error.h"

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

QList<qint64> LogWriter::commit(Connection& connection, const Batch& batch) {
    Transaction transaction(connection);
    for (const LogCorrection& correction : batch.corrections) {
        connection.Execute(correction.process.isEmpty()
                               ? SqlText::deleteLogRow(m_table, correction.rowid, correction.path)
                               : SqlText::updateLogProcess(m_table, correction.rowid,
                                                           correction.path, correction.process));
    }
    // One statement serves every row: parsing each row's text would cost more than storing it.
    QSqlQuery insert(connection.database());
    if (!batch.rows.isEmpty() && !insert.prepare(SqlText::insertLogPrepared(m_table))) {
        throw StorageError::fromSql(insert.lastError());
    }
    QList<qint64> rowids;
    rowids.reserve(batch.rows.size());
    for (const LogRow& row : batch.rows) {
        insert.bindValue(0, row.path);
        insert.bindValue(1, row.stamp);
        insert.bindValue(2, row.process);
        insert.bindValue(3, row.runText);
        if (!insert.exec()) {
            throw StorageError::fromSql(insert.lastError());
        }
        rowids.append(insert.lastInsertId().toLongLong());
    }
    insert.finish();
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
