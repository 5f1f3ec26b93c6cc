#include "run/log_writer.h"

#include "storage/connection.h"

LogWriter::LogWriter(const ModuleValues& values, qint64 runId)
    : m_table(values.tbl_log), m_runId(runId), m_thread([this, values] { work(values); }) {}

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
            rowids = commitLogBatch(*connection, m_table, m_runId, batch.rows, batch.corrections);
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
