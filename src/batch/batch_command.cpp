#include "batch/batch_command.h"

#include "batch/batch_history.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include "run/maintenance_run.h"
#include "run/run_notice.h"
#include "run/run_plan.h"
#include "schedule/schedule_checks.h"
#include "schedule/schedule_store.h"
#include "schedule/scheduled_minute.h"
#include "storage/connection.h"
#include "storage/database_access.h"
#include "storage/database_location.h"
#include "storage/schema.h"
#include "storage/storage_error.h"
#include "text/number_text.h"

using namespace Qt::StringLiterals;

namespace {

// Prints each rule and file as the run comes to it; a dry run also totals each rule's files.
class PrintingObserver : public RunObserver {
public:
    PrintingObserver(QTextStream& out, QTextStream& err, bool progress, bool totals)
        : m_out(out), m_err(err), m_progress(progress), m_totals(totals) {
        m_sinceProgress.start();
    }

    void ruleStarted(const Rule& rule) override {
        printTotal();
        m_rulesStarted = true;
        m_out << u"順序 "_s << rule.order << u": "_s << rule.source << u"/*."_s << rule.extension
              << u" "_s << rule.retention << u"日 "_s << rule.process << u'\n';
    }

    void fileHandled(const FileReport& report) override {
        if (report.status == FileStatus::Failed) {
            m_out << FileFailure{report.rule.order, report.rule.process, report.path, report.reason}
                         .message()
                  << u'\n';
        } else if (report.status == FileStatus::Skipped) {
            m_out << u"  "_s << report.stamp << u" 変更されたため対象外 "_s << report.path << u'\n';
        } else if (report.status == FileStatus::Held) {
            m_out << u"  "_s << report.stamp << u" 先の規則で失敗したため保留 "_s << report.path
                  << u'\n';
        } else {
            m_out << u"  "_s << report.stamp << u' ' << processLabel(report.rule, report.toTrash)
                  << u' ' << report.path;
            if (!report.target.isEmpty()) {
                m_out << u" → "_s << report.target;
            }
            m_out << u'\n';
        }
        if (report.status == FileStatus::Done || report.status == FileStatus::Failed) {
            ++m_ruleFiles;
            m_ruleBytes += report.size;
        }
        ++m_files;
        if (m_progress && m_sinceProgress.elapsed() >= 200) {
            m_err << u"\r処理中: "_s << m_files << u" 件"_s << Qt::flush;
            m_sinceProgress.restart();
        }
    }

    void finish() {
        printTotal();
        if (m_progress) {
            m_err << u"\r\x1b[K"_s << Qt::flush;
        }
    }

private:
    void printTotal() {
        if (m_totals && m_rulesStarted) {
            m_out << u"  計 "_s << filesAndSizeText(m_ruleFiles, m_ruleBytes) << u'\n';
        }
        m_ruleFiles = 0;
        m_ruleBytes = 0;
    }

    QTextStream& m_out;
    QTextStream& m_err;
    bool m_progress;
    bool m_totals;
    bool m_rulesStarted = false;
    qsizetype m_ruleFiles = 0;
    qint64 m_ruleBytes = 0;
    QElapsedTimer m_sinceProgress;
    qsizetype m_files = 0;
};

// The stored log retention, or the schedule check's message when it cannot be used: an empty
// retention would wipe the whole log.
QString storedLogDays(const ModuleValues& values, QString& refusal) {
    const std::optional<Schedule> schedule = readStoredSchedule(values);
    const QString logDays = schedule ? schedule->logDays : QString();
    if (const auto failure = checkLogDays(logDays)) {
        refusal = failure->message;
        if (!schedule) {
            refusal = u"スケジュールが保存されていません: "_s + refusal;
        }
    }
    return logDays;
}

// The scheduled minute `at` stands in, on the window timer's own check, if any. A missing
// database has no schedule; it is read without creating or changing anything.
std::optional<QDateTime> scheduledNow(const ModuleValues& values, const QDateTime& at) {
    if (!QFileInfo::exists(values.db_path)) {
        return std::nullopt;
    }
    const std::optional<Schedule> schedule = readStoredSchedule(readOnlyValues(values));
    return schedule ? dueMinute(at, *schedule) : std::nullopt;
}

}  // namespace

int runBatch(const BatchOptions& options, FileSystem& fs, QTextStream& out, QTextStream& err,
             bool progress, const std::function<void(const DesktopNotice&)>& tell) {
    ModuleValues values = ModuleValues::forDatabase(options.dbPath);
    const QDateTime at = options.at.isValid() ? options.at : QDateTime::currentDateTime();
    // Nobody may read the terminal: a refused database is shown on the desktop too. Asked every
    // minute by a timer, it is told once an hour, not every minute.
    const auto refused = [&](const QString& message) {
        err << message << u'\n';
        if (tell && !options.dryRun && (!options.ifDue || at.time().minute() == 0)) {
            tell({u"Quillon: 中断"_s, message});
        }
        return kExitUnusable;
    };
    // Before anything reads it: what another user could have written is never obeyed.
    if (const std::optional<QString> untrusted = refusedDatabase(values, DatabaseUse::Read)) {
        return refused(*untrusted);
    }
    if (options.listRuns) {
        return listRuns(values, out, err);
    }
    if (options.undo > 0) {
        return undoRun(options, values, fs, at, out, err);
    }
    std::optional<QDateTime> minute;
    if (options.ifDue) {
        // Asked every minute by a timer: unless this is the scheduled minute, nothing is done,
        // said or created.
        try {
            minute = scheduledNow(values, at);
            if (!minute) {
                return kExitComplete;
            }
        } catch (const StorageError& error) {
            err << error.message() << u'\n';
            return kExitUnusable;
        }
    }
    if (options.dryRun) {
        // A dry run creates and changes nothing, the database included.
        if (!QFileInfo::exists(values.db_path)) {
            err << missingDatabaseMessage(values.db_path) << u'\n';
            return kExitUnusable;
        }
        values = readOnlyValues(values);
    } else if (const QString problem = prepareDatabaseFolder(values.db_path); !problem.isEmpty()) {
        err << problem << u'\n';
        return kExitUnusable;
    } else if (const std::optional<QString> unusable =
                   refusedDatabase(values, DatabaseUse::Write)) {
        return refused(*unusable);
    }
    QString logDays;
    try {
        ensureSchema(values);
        QString refusal;
        logDays = storedLogDays(values, refusal);
        if (!refusal.isEmpty()) {
            err << refusal << u'\n';
            return kExitUnusable;
        }
    } catch (const StorageError& error) {
        err << error.message() << u'\n';
        return kExitUnusable;
    }

    PrintingObserver observer(out, err, progress, options.dryRun);
    MaintenanceRun run(values, fs, &observer, options.dryRun ? RunMode::Dry : RunMode::Real);
    // Only a minute of the real clock is marked served: a trial with --at would otherwise keep
    // the real minute from running.
    run.setScheduledMinute(minute, !options.at.isValid());
    if (options.dryRun) {
        out << u"ドライラン: 処理する予定のファイルを表示します。何も変更しません。\n"_s;
    }
    const RunOutcome outcome = run.EXEC_DEL(at, logDays);
    observer.finish();
    out.flush();

    const RunNotice notice = runNotice(outcome, values.db_path, at);
    if (tell && !options.dryRun) {
        if (const std::optional<DesktopNotice> desktop = desktopNotice(notice, outcome)) {
            tell(*desktop);
        }
    }
    switch (notice.ending) {
        case RunNotice::Ending::Served:  // as if it were not the minute: another run served it
            return kExitComplete;
        case RunNotice::Ending::Busy:
        case RunNotice::Ending::StorageFailed:
            err << notice.problems.first() << u'\n';  // the ending's own message comes first
            return notice.ending == RunNotice::Ending::Busy ? kExitBusy : kExitUnusable;
        case RunNotice::Ending::RulesRefused:
            err << notice.stop << u'\n';
            return kExitUnusable;
        case RunNotice::Ending::DirectoryStopped:
            err << notice.stop << u'\n';
            return kExitMissingDirectory;
        case RunNotice::Ending::Failures:  // each failed file was printed as it failed
            err << outcome.doneFiles + outcome.failures.size() << u" 件中 "_s
                << outcome.failures.size() << u" 件の処理に失敗しました\n"_s;
            return kExitFailures;
        case RunNotice::Ending::Complete:
            break;
    }
    out << (options.dryRun
                ? u"完了: "_s + countText(outcome.doneFiles) +
                      u" 件を処理する予定です（何も変更していません）\n"_s
                : u"完了: "_s + QString::number(outcome.doneFiles) + u" 件を処理しました\n"_s);
    return kExitComplete;
}
