#include "run/undo_run.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <map>

#include "disk/disk_overlay.h"
#include "disk/name_text.h"
#include "run/log_writer.h"
#include "run/run_reconciliation.h"
#include "run/undo_steps.h"
#include "storage/connection.h"
#include "storage/database_access.h"
#include "storage/run_history.h"
#include "storage/run_lock.h"
#include "storage/storage_error.h"
#include "text/date_time_text.h"

using namespace Qt::StringLiterals;
using UndoSteps::Step;
using UndoSteps::Undoer;

QString undoFailureText(const FileFailure& failure) {
    return failure.path + u" を元に戻せません（"_s + failure.reason + u"）"_s;
}

UndoRun::UndoRun(const ModuleValues& values, FileSystem& fs, RunObserver* observer, RunMode mode)
    : m_values(mode == RunMode::Dry ? readOnlyValues(values) : values),
      m_fs(fs),
      m_observer(observer),
      m_mode(mode) {}

UndoOutcome UndoRun::undo(qint64 runId, const QDateTime& at) {
    UndoOutcome outcome;
    m_placed.reset();
    try {
        const bool real = m_mode == RunMode::Real;
        if (const std::optional<QString> problem =
                refusedDatabase(m_values, real ? DatabaseUse::Write : DatabaseUse::Read)) {
            outcome.storageError = *problem;
            return outcome;
        }
        std::optional<RunLock> lock;
        if (real) {
            lock.emplace(m_values.db_path);
            if (!lock->untrusted().isEmpty() || lock->error() != 0) {
                outcome.storageError = !lock->untrusted().isEmpty()
                                           ? lock->untrusted()
                                           : unwritableMessage(m_values.db_path, lock->error());
                return outcome;
            }
            if (!lock->held()) {
                outcome.busy = true;
                return outcome;
            }
        }
        QList<Rule> rules;
        QList<RunHistory::RunRow> rows;
        qint64 undoId = 0;
        const QString runText = dateTimeText(at);
        {
            Connection connection(m_values);
            if (real) {
                RunHistory::ensureTable(connection);
            }
            const std::optional<QString> recorded = RunHistory::rulesOf(connection, runId);
            if (!recorded) {
                outcome.missing = true;
                return outcome;
            }
            rules = parseRules(*recorded);
            rows = RunHistory::rowsOf(connection, m_values.tbl_log, runId);
            if (real) {
                undoId = RunHistory::begin(
                    connection, m_values.tbl_log,
                    {QCoreApplication::applicationName(), QDateTime::currentDateTimeUtc(),
                     std::nullopt, runText, u"[]"_s, runId});
            }
        }
        DiskOverlay overlay(m_fs);
        FileSystem& fs = real ? static_cast<FileSystem&>(m_fs) : overlay;
        Undoer undoer(fs, rules);
        std::unique_ptr<RunLog> log;
        if (real) {
            log = std::make_unique<LogWriter>(m_values, undoId);
        } else {
            log = std::make_unique<NoLog>();
        }
        // Each batch's rows are committed before its files are touched, and are written while
        // the batch before is taken back. What cannot be taken back is logged as failed from the
        // start.
        struct Batch {
            qsizetype from = 0;
            qsizetype to = 0;
            QList<Step> steps;
        };
        const auto planned = [&](qsizetype from) {
            Batch batch{from, std::min(from + m_batchSize, rows.size()), {}};
            QList<LogRow> logRows;
            for (qsizetype i = batch.from; i < batch.to; ++i) {
                const RunHistory::RunRow& row = rows[i];
                const Step step = undoer.plan(row);
                batch.steps.append(step);
                if (step.kind != Step::Kind::Passed) {
                    const QString process =
                        row.process + u"取消"_s +
                        (step.kind == Step::Kind::Refused ? u"失敗"_s : QString());
                    logRows.append({row.path, row.stamp, process, runText,
                                    row.identity.value_or(FileIdentity{})});
                }
            }
            log->submit(logRows);
            return batch;
        };
        QList<LogCorrection> corrections;
        for (Batch batch = planned(0);;) {
            const QList<qint64> rowids = log->waitCommitted();
            const Batch next = batch.to < rows.size() ? planned(batch.to) : Batch{};
            takeBack(undoer, rows, batch.from, batch.steps, rowids, outcome, corrections);
            if (next.from == next.to) {
                break;
            }
            batch = next;
        }
        if (!corrections.isEmpty()) {
            log->submit({}, corrections);
            log->waitCommitted();
        }
        if (real) {
            Connection connection(m_values);
            QList<std::pair<QString, QString>> failures;
            for (const FileFailure& failure : outcome.failures) {
                failures.append({failure.path, failure.reason});
            }
            RunHistory::finish(connection, undoId,
                               {outcome.doneFiles + outcome.failures.size(),
                                outcome.failures.size(), 0, QString(), true, failures});
        }
    } catch (const StorageError& error) {
        outcome.storageError = error.message();
    } catch (const std::exception& error) {  // the log writer's thread could not start
        outcome.storageError = StorageError(QString::fromLocal8Bit(error.what())).message();
    }
    return outcome;
}

void UndoRun::takeBack(Undoer& undoer, const QList<RunHistory::RunRow>& rows, qsizetype from,
                       const QList<Step>& steps, const QList<qint64>& rowids, UndoOutcome& outcome,
                       QList<LogCorrection>& corrections) {
    qsizetype logged = 0;
    Rule rule;  // what a report says of its rule: the process taken back
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const RunHistory::RunRow& row = rows[from + i];
        Step step = steps[i];
        if (step.kind == Step::Kind::Passed) {
            continue;
        }
        const qint64 rowid = rowids[logged++];
        if (step.kind == Step::Kind::Refused && !step.goneForGood) {
            // A row taken back since this one was planned may have made way for it: a file a
            // chain moved and then deleted is back from the trash only now, for its move back.
            // Looked at again, its row is corrected to what it now is.
            const Step again = undoer.plan(row);
            if (again.kind == Step::Kind::Passed) {
                corrections.append({rowid, row.path, {}, {}});
                continue;
            }
            if (again.kind == Step::Kind::TakeBack) {
                corrections.append({rowid, row.path, row.process + u"取消"_s, {}});
            }
            step = again;
        }
        FileResult result{EPERM, step.reason};
        QString why;
        if (step.kind == Step::Kind::TakeBack && undoer.locate(row, why)) {
            result = undoer.act(row);
        }
        if (result.error == ENOENT && row.process == kDeleteProcess && row.identity &&
            placedByTheRun(rows, *row.identity)) {
            // Gone from the trash, and brought to where it was deleted by an older row of the
            // run: an undo before this one took it out, and that row tells what became of it.
            corrections.append({rowid, row.path, {}, {}});
            continue;
        }
        if (rule.process.size() != row.process.size() + 2 ||
            !rule.process.startsWith(row.process)) {
            rule.process = row.process + u"取消"_s;
        }
        FileReport report{.rule = rule,
                          .path = row.path,
                          .target = {},
                          .stamp = row.stamp,
                          .mtime = row.identity ? row.identity->mtime : 0,
                          .size = row.identity ? row.identity->size : 0,
                          .status = result.ok() ? FileStatus::Done : FileStatus::Failed,
                          .reason = result.reason,
                          .placed = {}};
        if (result.ok()) {
            ++outcome.doneFiles;
        } else {
            outcome.failures.append({{}, rule.process, row.path, result.reason});
            outcome.goneForGood += step.goneForGood ? 1 : 0;
            if (step.kind == Step::Kind::TakeBack) {
                corrections.append({rowid, row.path, rule.process + u"失敗"_s, {}});
            }
        }
        if (m_observer != nullptr) {
            m_observer->fileHandled(report);
        }
    }
}

bool UndoRun::placedByTheRun(const QList<RunHistory::RunRow>& rows, const FileIdentity& file) {
    if (!m_placed) {
        m_placed.emplace();
        for (const RunHistory::RunRow& row : rows) {
            // A rename leaves the file itself: its row keeps no target of its own.
            const std::optional<FileIdentity>& left =
                row.target || row.process != kMoveProcess ? row.target : row.identity;
            if (left) {
                m_placed->insert({left->device, left->inode});
            }
        }
    }
    return m_placed->contains({file.device, file.inode});
}
