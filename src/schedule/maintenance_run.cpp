#include "schedule/maintenance_run.h"

#include <algorithm>
#include <cerrno>
#include <optional>

#include "schedule/date_time_text.h"
#include "schedule/file_actions.h"
#include "schedule/file_lister.h"
#include "schedule/folder_checker.h"
#include "schedule/log_writer.h"
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

bool copies(const Rule& rule) {
    return rule.process == kCopy || rule.process == kMove;
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
        QList<Rule> rules;
        {
            Connection connection(m_values);
            if (!m_dryRun) {
                connection.Execute(SqlText::deleteLogBefore(
                    m_values.tbl_log, cutoffText(runAt, retentionNumber(logDays))));
            }
            // The whole rule table is read first: the run sees it as it stood when it began.
            rules = readRules(connection, m_values.tbl_rule);
        }
        std::optional<LogWriter> writer;
        if (!m_dryRun) {
            writer.emplace(m_values);
        }
        for (const Rule& rule : rules) {
            if (!FolderExists(rule.source)) {
                outcome.result = missingDirectoryText(rule.order, rule.source);
                break;
            }
            if (rule.process != kDelete && !FolderExists(rule.destination)) {
                outcome.result = missingDirectoryText(rule.order, rule.destination);
                break;
            }
            applyRule(writer ? &*writer : nullptr, rule, runAt, outcome);
        }
    } catch (const StorageError& error) {
        outcome.storageError = error.message();
    } catch (const std::exception& error) {  // the log writer's thread could not start
        outcome.storageError = StorageError(QString::fromLocal8Bit(error.what())).message();
    }
    return outcome;
}

void MaintenanceRun::applyRule(LogWriter* writer, const Rule& rule, const QDateTime& runAt,
                               RunOutcome& outcome) {
    if (m_observer != nullptr) {
        m_observer->ruleStarted(rule);
    }
    const Listing listing = ReadDir(rule.source, rule.extension);
    if (!listing.error.isEmpty()) {
        outcome.failures.append({rule.source, listing.error});
        return;
    }
    const QString runText = dateTimeText(runAt);
    const QString cutoff = cutoffText(runAt, retentionNumber(rule.retention));
    // The destination may be the source reached another way (a trailing "/", a link, a bind
    // mount): copying or moving a file onto itself must never be tried.
    const bool ontoItself = copies(rule) && m_fs.sameFile(rule.source, rule.destination);
    // Oldest first: the first entry not older than the cutoff ends the rule's old files, and
    // the newer ones cost nothing more.
    const auto oldEnd = std::partition_point(
        listing.entries.cbegin(), listing.entries.cend(),
        [&cutoff](const QString& entry) { return QStringView(entry).left(19) < cutoff; });
    const qsizetype oldCount = oldEnd - listing.entries.cbegin();

    // Taken a batch at a time, so a directory of many files costs little memory.
    const auto takeBatch = [&](qsizetype first) {
        QList<OldFile> batch;
        for (qsizetype i = first; i < std::min(first + m_batchSize, oldCount); ++i) {
            const QString& entry = listing.entries[i];
            const QString name = entry.mid(20);
            batch.append({joinPath(rule.source, name), name, entry.left(19)});
        }
        return batch;
    };
    const auto logBatch = [&](const QList<OldFile>& batch) {
        if (writer != nullptr && !batch.isEmpty()) {
            QStringList statements;
            for (const OldFile& file : batch) {
                statements << SqlText::insertValues(m_values.tbl_log,
                                                    {file.path, file.stamp, rule.process, runText});
            }
            writer->submit(std::move(statements));
        }
    };
    // Every batch's rows are committed before its files are touched, so a run cut short
    // leaves no touched file without its row; the next batch is written meanwhile.
    QList<OldFile> batch = takeBatch(0);
    logBatch(batch);
    for (qsizetype first = 0; first < oldCount; first += m_batchSize) {
        if (writer != nullptr) {
            writer->waitCommitted();
        }
        QList<OldFile> next = takeBatch(first + m_batchSize);
        logBatch(next);
        for (const OldFile& file : batch) {
            const FileReport report = handle(rule, file, ontoItself);
            ++outcome.handledFiles;
            if (report.status == FileStatus::Failed) {
                outcome.failures.append({file.path, report.reason});
            }
            if (m_observer != nullptr) {
                m_observer->fileHandled(report);
            }
        }
        batch = std::move(next);
    }
}

FileReport MaintenanceRun::handle(const Rule& rule, const OldFile& file, bool ontoItself) {
    FileReport report{rule,
                      file.path,
                      copies(rule) ? joinPath(rule.destination, file.name) : QString(),
                      file.stamp,
                      FileStatus::Done,
                      {}};
    if (m_dryRun) {
        report.status = FileStatus::Planned;
        return report;
    }
    FileResult result;
    if (ontoItself) {
        result = {EINVAL, u"コピー先が元のファイルと同じです"_s};
    } else if (rule.process == kCopy) {
        result = m_fs.copyFile(file.path, report.target, false);
    } else if (rule.process == kMove) {
        result = moveTo(m_fs, file.path, report.target);
    } else if (rule.process == kDelete) {
        result = m_fs.removeFile(file.path);
    }
    if (!result.ok()) {
        report.status = FileStatus::Failed;
        report.reason = result.reason;
    }
    return report;
}
