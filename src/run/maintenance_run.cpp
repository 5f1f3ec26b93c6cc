#include "run/maintenance_run.h"

#include <QCoreApplication>

#include "disk/disk_overlay.h"
#include "run/log_writer.h"
#include "run/rule_pass.h"
#include "run/run_notice.h"
#include "run/run_reconciliation.h"
#include "run/stored_rule_check.h"
#include "run/trash_keeping.h"
#include "storage/connection.h"
#include "storage/database_access.h"
#include "storage/run_history.h"
#include "storage/run_lock.h"
#include "storage/sql_text.h"
#include "storage/storage_error.h"
#include "text/date_time_text.h"

using namespace Qt::StringLiterals;

MaintenanceRun::MaintenanceRun(const ModuleValues& values, FileSystem& fs, RunObserver* observer,
                               RunMode mode)
    : m_values(mode == RunMode::Dry ? readOnlyValues(values) : values),
      m_fs(fs),
      m_observer(observer),
      m_mode(mode) {}

RunOutcome MaintenanceRun::EXEC_DEL(const QDateTime& runAt, const QString& logDays) {
    RunOutcome outcome;
    try {
        const DatabaseUse use = m_mode == RunMode::Real ? DatabaseUse::Write : DatabaseUse::Read;
        if (const std::optional<QString> problem = refusedDatabase(m_values, use)) {
            outcome.storageError = *problem;
            return outcome;
        }
        // The one place a dry run parts from a real one: it reads the rules and the disk as
        // they stand, makes every change in a model of the tree, so that each rule sees what
        // the ones before it leave, and sends every log row nowhere. Without a lock, pruning or
        // a record of itself, it writes nothing at all.
        if (m_mode == RunMode::Dry) {
            QList<Rule> rules;
            {
                Connection connection(m_values);
                rules = readRules(connection, m_values.tbl_rule);
                if (const std::optional<QString> problem = storedRulesProblem(rules)) {
                    outcome.refusedRules = *problem;
                    return outcome;
                }
                const std::optional<double> days =
                    storedTrashDays(connection, outcome.refusedRules);
                if (!days) {
                    return outcome;
                }
                outcome.trashes = *days > 0;
            }
            DiskOverlay fs(m_fs);
            NoLog log;
            applyRules(fs, log, rules, runAt, outcome);
            return outcome;
        }
        const RunLock lock(m_values.db_path);
        if (!lock.untrusted().isEmpty()) {
            outcome.storageError = lock.untrusted();
        } else if (lock.error() != 0) {
            outcome.storageError = unwritableMessage(m_values.db_path, lock.error());
        } else if (!lock.held()) {
            outcome.busy = true;
        } else {
            runLocked(runAt, logDays, outcome);
        }
    } catch (const StorageError& error) {
        outcome.storageError = error.message();
    }
    return outcome;
}

void MaintenanceRun::runLocked(const QDateTime& runAt, const QString& logDays,
                               RunOutcome& outcome) {
    // One connection from the first read to the run's record: SQLite checkpoints and removes
    // the write-ahead log whenever a database's last connection closes, and each opening reads
    // the schema again, a cost every run would pay several times over.
    Connection connection(m_values);
    RunHistory::ensureTable(connection);
    if (m_scheduledMinute && RunHistory::served(connection, *m_scheduledMinute)) {
        outcome.alreadyServed = true;
        return;
    }
    // The whole rule table is read first: the run sees it as it stood when it began.
    const QList<Rule> rules = readRules(connection, m_values.tbl_rule);
    if (const std::optional<QString> problem = storedRulesProblem(rules)) {
        outcome.refusedRules = *problem;
        return;
    }
    const std::optional<double> trashDays = storedTrashDays(connection, outcome.refusedRules);
    if (!trashDays) {
        return;
    }
    outcome.trashes = *trashDays > 0;
    reconcileUnfinishedRuns(connection, m_values.tbl_log, m_fs);
    const QString logCutoff = cutoffText(runAt, retentionNumber(logDays));
    connection.Execute(SqlText::deleteLogBefore(m_values.tbl_log, logCutoff));
    RunHistory::prune(connection, logCutoff);
    // What runs put in the trash waits there 保管日数 days, then goes for good.
    emptyOldTrash(connection, m_fs, cutoffText(runAt, *trashDays));
    const qint64 runId = RunHistory::begin(
        connection, m_values.tbl_log,
        {QCoreApplication::applicationName(), QDateTime::currentDateTimeUtc(),
         m_realMinute ? m_scheduledMinute : std::nullopt, dateTimeText(runAt), rulesText(rules)});
    try {
        LogWriter writer(m_values, runId);
        applyRules(m_fs, writer, rules, runAt, outcome);
    } catch (const StorageError& error) {
        outcome.storageError = error.message();
    } catch (const std::exception& error) {  // the log writer's thread could not start
        outcome.storageError = StorageError(QString::fromLocal8Bit(error.what())).message();
    }
    // A run stopped by the store may have rows that claim too much: it stays unchecked, for
    // the next run to set right.
    const QString stop =
        outcome.storageError.isEmpty() ? directoryStopMessage(outcome) : outcome.storageError;
    try {
        QList<std::pair<QString, QString>> failures;
        for (const FileFailure& failure : outcome.failures) {
            failures.append({failure.path, failure.reason});
        }
        // What the run took on, as the history keeps it: done and failed together.
        RunHistory::finish(connection, runId,
                           {outcome.doneFiles + outcome.failures.size(), outcome.failures.size(),
                            outcome.skippedFiles, stop, outcome.storageError.isEmpty(), failures});
    } catch (const StorageError& error) {
        if (outcome.storageError.isEmpty()) {
            outcome.storageError = error.message();
        }
    }
}

void MaintenanceRun::applyRules(FileSystem& fs, RunLog& log, const QList<Rule>& rules,
                                const QDateTime& runAt, RunOutcome& outcome) {
    RulePass pass(fs, log, m_observer, m_batchSize, outcome.trashes);
    for (const Rule& rule : rules) {
        if (m_observer != nullptr && m_observer->stopWanted()) {
            outcome.cancelled = true;
        }
        if (outcome.cancelled || !pass.apply(rule, runAt, outcome)) {
            return;
        }
    }
}
