#pragma once

#include <QStringList>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "storage/module_values.h"

// Commits batches of log statements, each in one transaction, on a thread with its own
// connection: the next files' rows are written while the files already logged are handled, so
// a long run costs about what its file operations cost.
class LogWriter {
public:
    explicit LogWriter(const ModuleValues& values);
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Starts committing the batch. Only one batch is under way at a time: call waitCommitted
    // before submitting the next.
    void submit(QStringList statements);
    // Returns once the submitted batch is committed; throws StorageError when it could not be,
    // in which case nothing of it was written.
    void waitCommitted();

private:
    void work(const ModuleValues& values);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<QStringList> m_batch;  // submitted and not yet committed
    std::exception_ptr m_error;
    bool m_stop = false;
    std::thread m_thread;  // last: starts once everything above exists
};
