#pragma once

#include <QList>
#include <QString>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "storage/module_values.h"

// One day_log row as the run writes it.
struct LogRow {
    QString path;
    QString stamp;
    QString process;
    QString runText;
};

// A row written earlier in the run that the file's fate changes: its process text replaced
// (a failure), or, with an empty process, the row removed (a file left alone).
struct LogCorrection {
    qint64 rowid;
    QString path;
    QString process;
};

// Commits batches of log rows, each in one transaction, on a thread with its own connection:
// the next files' rows are written while the files already logged are handled, so a long run
// costs about what its file operations cost.
class LogWriter {
public:
    explicit LogWriter(const ModuleValues& values);
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Starts committing the corrections and the rows in one transaction. Only one batch is
    // under way at a time: call waitCommitted before submitting the next.
    void submit(QList<LogRow> rows, QList<LogCorrection> corrections = {});
    // Returns, once the submitted batch is committed, the row ids of its rows in their order.
    // Throws StorageError when it could not be committed, in which case nothing of it was.
    QList<qint64> waitCommitted();

private:
    struct Batch {
        QList<LogRow> rows;
        QList<LogCorrection> corrections;
    };

    void work(const ModuleValues& values);
    QList<qint64> commit(class Connection& connection, const Batch& batch);

    QString m_table;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Batch> m_batch;  // submitted and not yet committed
    QList<qint64> m_rowids;        // of the batch last committed
    std::exception_ptr m_error;
    bool m_stop = false;
    std::thread m_thread;  // last: starts once everything above exists
};
