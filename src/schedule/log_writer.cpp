#include "schedule/log_writer.h"

#include "storage/connection.h"
#include "storage/storage_error.h"

LogWriter::LogWriter(const ModuleValues& values) : m_thread([this, values] { work(values); }) {}

LogWriter::~LogWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void LogWriter::submit(QStringList statements) {
    {
        std::lock_guard lock(m_mutex);
        m_batch = std::move(statements);
    }
    m_changed.notify_all();
}

void LogWriter::waitCommitted() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_batch || m_error; });
    if (m_error) {
        std::rethrow_exception(m_error);
    }
}

void LogWriter::work(const ModuleValues& values) {
    std::optional<Connection> connection;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || (m_batch && !m_error); });
        if (m_stop) {
            return;
        }
        const QStringList statements = *m_batch;
        lock.unlock();
        std::exception_ptr error;
        try {
            if (!connection) {
                connection.emplace(values);  // a Qt connection belongs to the thread that opened it
            }
            Transaction transaction(*connection);
            for (const QString& statement : statements) {
                connection->Execute(statement);
            }
            transaction.commit();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        m_error = error;
        if (!error) {
            m_batch.reset();
        }
        m_changed.notify_all();
    }
}
