#include "schedule/maintenance_run.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <optional>

#include "schedule/copy_temporaries.h"
#include "schedule/date_time_text.h"
#include "schedule/file_actions.h"
#include "schedule/file_lister.h"
#include "schedule/log_writer.h"
#include "schedule/name_text.h"
#include "schedule/run_lock.h"
#include "schedule/run_reconciliation.h"
#include "schedule/unique_fd.h"
#include "storage/connection.h"
#include "storage/database_access.h"
#include "storage/database_trust.h"
#include "storage/run_history.h"
#include "storage/sql_text.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

namespace {

const QString kCopy = u"複写"_s;
const QString kMove = u"移動"_s;
const QString kDelete = u"削除"_s;
const QString kFailed = u"失敗"_s;

QList<Rule> readRules(Connection& connection, const QString& table) {
    QList<Rule> rules;
    for (Recordset rows(connection, SqlText::selectOrdered(table)); !rows.eof(); rows.moveNext()) {
        rules.append({rows.field(u"順序"_s), rows.field(u"元ディレクトリ"_s),
                      rows.field(u"先ディレクトリ"_s), rows.field(u"拡張子"_s),
                      rows.field(u"残存日数"_s), rows.field(u"処理"_s)});
    }
    return rules;
}

bool copies(const Rule& rule) {
    return rule.process == kCopy || rule.process == kMove;
}

}  // namespace

// What one rule works with, once its directories are open and its listing is made.
struct MaintenanceRun::RuleRun {
    const Rule& rule;
    int source;
    int destination;  // -1 unless the rule copies or moves
    bool ontoItself;  // the destination is the source directory reached another way
    const Listing& listing;
    QString cutoff;
    QString runText;
};

MaintenanceRun::MaintenanceRun(const ModuleValues& values, FileSystem& fs, RunObserver* observer)
    : m_values(values), m_fs(fs), m_observer(observer) {}

RunOutcome MaintenanceRun::EXEC_DEL(const QDateTime& runAt, const QString& logDays) {
    RunOutcome outcome;
    try {
        // Nothing is opened before these: a planted journal must not be read, nor a database
        // the run may not write gain journal files it could not write either.
        if (const std::optional<QString> problem = untrustedDatabase(m_values.db_path)) {
            outcome.storageError = *problem;
            return outcome;
        }
        if (m_dryRun) {
            QList<Rule> rules;
            {
                Connection connection(m_values);
                rules = readRules(connection, m_values.tbl_rule);
            }
            applyRules(nullptr, rules, runAt, outcome);
            return outcome;
        }
        if (const std::optional<QString> problem = unwritableDatabase(m_values)) {
            outcome.storageError = *problem;
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
    QList<Rule> rules;
    qint64 runId = 0;
    {
        Connection connection(m_values);
        RunHistory::ensureTable(connection);
        if (m_scheduledMinute && RunHistory::served(connection, *m_scheduledMinute)) {
            outcome.alreadyServed = true;
            return;
        }
        reconcileUnfinishedRuns(connection, m_values.tbl_log, m_fs);
        connection.Execute(SqlText::deleteLogBefore(m_values.tbl_log,
                                                    cutoffText(runAt, retentionNumber(logDays))));
        // The whole rule table is read first: the run sees it as it stood when it began.
        rules = readRules(connection, m_values.tbl_rule);
        runId =
            RunHistory::begin(connection, m_values.tbl_log,
                              {QCoreApplication::applicationName(), QDateTime::currentDateTimeUtc(),
                               m_scheduledMinute, dateTimeText(runAt), rulesText(rules)});
    }
    try {
        LogWriter writer(m_values);
        applyRules(&writer, rules, runAt, outcome);
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
        Connection connection(m_values);
        RunHistory::finish(connection, runId,
                           {outcome.handledFiles, outcome.failures.size(), outcome.skippedFiles,
                            stop, outcome.storageError.isEmpty()});
    } catch (const StorageError& error) {
        if (outcome.storageError.isEmpty()) {
            outcome.storageError = error.message();
        }
    }
}

void MaintenanceRun::applyRules(LogWriter* writer, const QList<Rule>& rules, const QDateTime& runAt,
                                RunOutcome& outcome) {
    m_cleanedDirectories.clear();
    for (const Rule& rule : rules) {
        if (!applyRule(writer, rule, runAt, outcome)) {
            return;
        }
    }
}

MaintenanceRun::Opened MaintenanceRun::openRuleDirectory(const Rule& rule, const QString& path,
                                                         bool mayBePathOnly, UniqueFd& fd,
                                                         RunOutcome& outcome) {
    OpenedDirectory opened = m_fs.openDirectory(QFile::encodeName(path), mayBePathOnly);
    switch (opened.status) {
        case OpenedDirectory::Status::Open:
            fd = std::move(opened.fd);
            return Opened::Go;
        case OpenedDirectory::Status::Failed:
            outcome.failures.append({path, FileResult::fromErrno(opened.error).reason});
            return Opened::SkipRule;
        case OpenedDirectory::Status::Unsafe:
            outcome.unsafeDirectory = true;
            break;
        case OpenedDirectory::Status::Missing:
            break;
    }
    outcome.result = missingDirectoryText(rule.order, path);
    return Opened::StopRun;
}

bool MaintenanceRun::applyRule(LogWriter* writer, const Rule& rule, const QDateTime& runAt,
                               RunOutcome& outcome) {
    // From here on the rule works in the directories it opened now, whatever is renamed or
    // put in their place meanwhile. A missing or refused directory stops the run before the
    // rule starts; one that cannot be opened costs only its rule.
    UniqueFd source;
    const Opened sourceOpened = openRuleDirectory(rule, rule.source, false, source, outcome);
    UniqueFd destination;
    Opened destinationOpened = Opened::Go;
    if (sourceOpened != Opened::StopRun && rule.process != kDelete) {
        destinationOpened = openRuleDirectory(rule, rule.destination, true, destination, outcome);
    }
    if (sourceOpened == Opened::StopRun || destinationOpened == Opened::StopRun) {
        return false;
    }
    if (m_observer != nullptr) {
        m_observer->ruleStarted(rule);
    }
    if (sourceOpened != Opened::Go || destinationOpened != Opened::Go) {
        return true;
    }
    bool ontoItself = false;
    if (copies(rule)) {
        // The destination may be the source reached another way (a trailing "/", a link, a
        // bind mount): copying or moving a file onto itself must never be tried.
        struct stat sourceInfo {};
        struct stat destinationInfo {};
        ontoItself = ::fstat(source.get(), &sourceInfo) == 0 &&
                     ::fstat(destination.get(), &destinationInfo) == 0 &&
                     sameIdentity(sourceInfo, destinationInfo);
        if (!m_dryRun && !ontoItself) {
            removeDeadTemporariesOnce(destination.get());
        }
    }
    const Listing listing = ReadDir(source.get(), rule.extension, [this] {
        if (m_observer != nullptr) {
            m_observer->working();
        }
    });
    if (listing.error != 0) {
        outcome.failures.append({rule.source, FileResult::fromErrno(listing.error).reason});
        return true;
    }
    const RuleRun run{rule,
                      source.get(),
                      copies(rule) ? destination.get() : -1,
                      ontoItself,
                      listing,
                      cutoffText(runAt, retentionNumber(rule.retention)),
                      dateTimeText(runAt)};
    handleAll(writer, run, outcome);
    return true;
}

void MaintenanceRun::handleAll(LogWriter* writer, const RuleRun& run, RunOutcome& outcome) {
    const std::vector<ListedFile>& files = run.listing.files;
    // Oldest first: the first file not older than the cutoff ends the rule's old files, and
    // the newer ones cost nothing more.
    size_t next = 0;
    bool olderRemain = true;
    const auto takeBatch = [&] {
        QList<OldFile> batch;
        while (olderRemain && next < files.size() && batch.size() < m_batchSize) {
            const ListedFile& file = files[next];
            QString stamp = stampText(file.mtime);
            if (!(stamp < run.cutoff)) {
                olderRemain = false;
                break;
            }
            QString name = nameText(run.listing.nameView(file));
            QString path = run.rule.source + u'/' + name;
            batch.append({&file, std::move(name), std::move(path), std::move(stamp)});
            ++next;
        }
        return batch;
    };
    const auto rowsOf = [&run](const QList<OldFile>& batch) {
        QList<LogRow> rows;
        rows.reserve(batch.size());
        for (const OldFile& file : batch) {
            rows.append({file.path, file.stamp, run.rule.process, run.runText});
        }
        return rows;
    };

    // Every batch's rows are committed before its files are touched, so a run cut short
    // leaves no touched file without its row; the next batch is written meanwhile, together
    // with the corrections for the files of the batch before.
    QList<LogCorrection> corrections;
    QList<OldFile> batch = takeBatch();
    if (writer != nullptr && !batch.isEmpty()) {
        writer->submit(rowsOf(batch));
    }
    while (!batch.isEmpty()) {
        const QList<qint64> rowids = writer != nullptr ? writer->waitCommitted() : QList<qint64>();
        QList<OldFile> nextBatch = takeBatch();
        if (writer != nullptr && !nextBatch.isEmpty()) {
            writer->submit(rowsOf(nextBatch), std::exchange(corrections, {}));
        }
        for (qsizetype i = 0; i < batch.size(); ++i) {
            const OldFile& file = batch[i];
            const FileReport report = handle(run, file);
            if (report.status == FileStatus::Failed) {
                outcome.failures.append({file.path, report.reason});
            }
            ++(report.status == FileStatus::Skipped ? outcome.skippedFiles : outcome.handledFiles);
            if (writer != nullptr && report.status == FileStatus::Failed) {
                corrections.append({rowids[i], file.path, run.rule.process + kFailed});
            } else if (writer != nullptr && report.status == FileStatus::Skipped) {
                corrections.append({rowids[i], file.path, {}});
            }
            if (m_observer != nullptr) {
                m_observer->fileHandled(report);
            }
        }
        batch = std::move(nextBatch);
    }
    if (writer != nullptr && !corrections.isEmpty()) {
        writer->submit({}, std::move(corrections));
        writer->waitCommitted();
    }
}

FileReport MaintenanceRun::handle(const RuleRun& run, const OldFile& file) {
    const Rule& rule = run.rule;
    const char* name = run.listing.name(*file.listed);
    FileReport report{rule,
                      file.path,
                      copies(rule) ? rule.destination + u'/' + file.name : QString(),
                      file.stamp,
                      FileStatus::Done,
                      {}};
    if (m_dryRun) {
        report.status = FileStatus::Planned;
        return report;
    }
    // Still the file that was listed, and still old? The listing may be minutes old by now.
    struct stat now {};
    const FileResult checked = m_fs.statAt(run.source, name, now);
    if (!checked.ok()) {
        report.status = checked.error == ENOENT ? FileStatus::Skipped : FileStatus::Failed;
        report.reason = checked.reason;
        return report;
    }
    if (!S_ISREG(now.st_mode) || now.st_dev != file.listed->device ||
        now.st_ino != file.listed->inode ||
        (now.st_mtim.tv_sec != file.listed->mtime &&
         !(stampText(now.st_mtim.tv_sec) < run.cutoff))) {
        report.status = FileStatus::Skipped;
        return report;
    }
    FileResult result;
    if (run.ontoItself) {
        result = {EINVAL, u"コピー先が元のファイルと同じです"_s};
    } else if (rule.process == kCopy) {
        result = m_fs.copyFile(run.source, name, now, run.destination);
    } else if (rule.process == kMove) {
        result = moveTo(m_fs, run.source, name, now, run.destination);
    } else if (rule.process == kDelete) {
        result = m_fs.removeFile(run.source, name);
    }
    if (result.error == ESTALE) {
        report.status = FileStatus::Skipped;  // replaced between the check and the copy
    } else if (!result.ok()) {
        report.status = FileStatus::Failed;
        report.reason = result.reason;
    }
    return report;
}

void MaintenanceRun::removeDeadTemporariesOnce(int directory) {
    struct stat info {};
    if (::fstat(directory, &info) == 0 &&
        m_cleanedDirectories.insert({info.st_dev, info.st_ino}).second) {
        removeDeadTemporaries(directory);
    }
}
