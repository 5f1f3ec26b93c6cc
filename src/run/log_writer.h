#pragma once

#include <QList>
#include <QString>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "storage/log_rows.h"
#include "storage/module_values.h"

// Where a run's log rows go. Every batch's rows are committed before its files are touched.
class RunLog {
public:
    virtual ~RunLog() = default;
    // Starts committing the corrections and the rows in one transaction. Only one batch is
    // under way at a time: call waitCommitted before submitting the next.
    virtual void submit(QList<LogRow> rows, QList<LogCorrection> corrections = {}) = 0;
    // Returns, once the submitted batch is committed, the row ids of its rows in their order.
    // Throws StorageError when it could not be committed, in which case nothing of it was.
    virtual QList<qint64> waitCommitted() = 0;
};

// The log of a run that changes nothing: rows go nowhere.
class NoLog : public RunLog {
public:
    void submit(QList<LogRow> rows, QList<LogCorrection> = {}) override { m_rows = rows.size(); }
    QList<qint64> waitCommitted() override { return QList<qint64>(m_rows, 0); }

private:
    qsizetype m_rows = 0;
};

// Commits batches of log rows, each in one transaction, on a thread with its own connection:
// the next files' rows are written while the files already logged are handled, so a long run
// costs about what its file operations cost.
class LogWriter : public RunLog {
public:
    // Each row's identity is kept under the run `runId` (see RunHistory::begin).
    LogWriter(const ModuleValues& values, qint64 runId);
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    void submit(QList<LogRow> rows, QList<LogCorrection> corrections = {}) override;
    QList<qint64> waitCommitted() override;

private:
    struct Batch {
        QList<LogRow> rows;
        QList<LogCorrection> corrections;
    };

    void work(const ModuleValues& values);

    QString m_table;
    qint64 m_runId;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Batch> m_batch;  // submitted and not yet committed
    QList<qint64> m_rowids;        // of the batch last committed
    std::exception_ptr m_error;
    bool m_stop = false;
    std::thread m_thread;  // last: starts once everything above exists
};
