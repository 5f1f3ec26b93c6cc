#include "schedule/maintenance_run.h"

#include <algorithm>

#include "schedule/date_time_text.h"
#include "schedule/file_actions.h"
#include "schedule/file_lister.h"
#include "schedule/folder_checker.h"
#include "storage/connection.h"
#include "storage/sql_text.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

namespace {

const QString kCopy = u"複写"_s;
const QString kMove = u"移動"_s;
const QString kDelete = u"削除"_s;

QList<Rule> readRules(Connection& connection, const QString& table) {
    QList<Rule> rules;
    for (Recordset rows(connection, SqlText::selectOrdered(table)); !rows.eof(); rows.moveNext()) {
        rules.append({rows.field(u"順序"_s), rows.field(u"元ディレクトリ"_s),
                      rows.field(u"先ディレクトリ"_s), rows.field(u"拡張子"_s),
                      rows.field(u"残存日数"_s), rows.field(u"処理"_s)});
    }
    return rules;
}

QString joinPath(const QString& directory, const QString& name) {
    return directory + u'/' + name;
}

}  // namespace

MaintenanceRun::MaintenanceRun(const ModuleValues& values, FileSystem& fs, RunObserver* observer)
    : m_values(values), m_fs(fs), m_observer(observer) {}

RunOutcome MaintenanceRun::EXEC_DEL(const QDateTime& runAt, const QString& logDays) {
    RunOutcome outcome;
    try {
        Connection connection(m_values);
        if (!m_dryRun) {
            connection.Execute(SqlText::deleteLogBefore(
                m_values.tbl_log, cutoffText(runAt, retentionNumber(logDays))));
        }
        // The whole rule table is read first: the run sees it as it stood when it began.
        const QList<Rule> rules = readRules(connection, m_values.tbl_rule);
        for (const Rule& rule : rules) {
            if (!FolderExists(rule.source)) {
                outcome.result = missingDirectoryText(rule.order, rule.source);
                break;
            }
            if (rule.process != kDelete && !FolderExists(rule.destination)) {
                outcome.result = missingDirectoryText(rule.order, rule.destination);
                break;
            }
            applyRule(connection, rule, runAt, outcome);
        }
    } catch (const StorageError& error) {
        outcome.storageError = error.message();
    }
    return outcome;
}

void MaintenanceRun::applyRule(Connection& connection, const Rule& rule, const QDateTime& runAt,
                               RunOutcome& outcome) {
    const QString runText = dateTimeText(runAt);
    if (m_observer != nullptr) {
        m_observer->ruleStarted(rule);
    }
    const Listing listing = ReadDir(rule.source, rule.extension);
    if (!listing.error.isEmpty()) {
        outcome.failures.append({rule.source, listing.error});
        return;
    }
    const QString cutoff = cutoffText(runAt, retentionNumber(rule.retention));
    // Oldest first: the first entry not older than the cutoff ends the rule's old files, and
    // the newer ones cost nothing more.
    const auto oldEnd = std::partition_point(
        listing.entries.cbegin(), listing.entries.cend(),
        [&cutoff](const QString& entry) { return QStringView(entry).left(19) < cutoff; });
    const qsizetype oldCount = oldEnd - listing.entries.cbegin();
    // Taken a batch at a time, so a directory of many files costs little memory.
    for (qsizetype first = 0; first < oldCount; first += m_batchSize) {
        QList<OldFile> batch;
        for (qsizetype i = first; i < std::min(first + m_batchSize, oldCount); ++i) {
            const QString& entry = listing.entries[i];
            const QString name = entry.mid(20);
            batch.append({joinPath(rule.source, name), name, entry.left(19)});
        }
        if (!m_dryRun) {
            writeRows(connection, rule, batch, runText);
        }
        for (const OldFile& file : batch) {
            const FileReport report = handle(rule, file);
            ++outcome.handledFiles;
            if (report.status == FileStatus::Failed) {
                outcome.failures.append({file.path, report.reason});
            }
            if (m_observer != nullptr) {
                m_observer->fileHandled(report);
            }
        }
    }
}

// Every row is committed before its file is touched, so a run cut short leaves no touched
// file without its row.
void MaintenanceRun::writeRows(Connection& connection, const Rule& rule,
                               const QList<OldFile>& files, const QString& runText) {
    Transaction transaction(connection);
    for (const OldFile& file : files) {
        connection.Execute(SqlText::insertValues(m_values.tbl_log,
                                                 {file.path, file.stamp, rule.process, runText}));
    }
    transaction.commit();
}

FileReport MaintenanceRun::handle(const Rule& rule, const OldFile& file) {
    const bool copies = rule.process == kCopy || rule.process == kMove;
    FileReport report{
        rule,       file.path,        copies ? joinPath(rule.destination, file.name) : QString(),
        file.stamp, FileStatus::Done, {}};
    if (m_dryRun) {
        report.status = FileStatus::Planned;
        return report;
    }
    FileResult result;
    if (rule.process == kCopy) {
        result = copyTo(m_fs, file.path, report.target);
    } else if (rule.process == kMove) {
        result = moveTo(m_fs, file.path, report.target);
    } else if (rule.process == kDelete) {
        result = deleteFile(m_fs, file.path);
    }
    if (!result.ok()) {
        report.status = FileStatus::Failed;
        report.reason = result.reason;
    }
    return report;
}
