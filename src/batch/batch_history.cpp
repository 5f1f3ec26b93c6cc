#include "batch/batch_history.h"

#include <QFileInfo>

#include "batch/batch_command.h"
#include "run/run_notice.h"
#include "run/undo_run.h"
#include "storage/connection.h"
#include "storage/database_access.h"
#include "storage/run_history.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

namespace {

// Prints each file an undo takes back, or why it cannot.
class UndoPrinter : public RunObserver {
public:
    explicit UndoPrinter(QTextStream& out) : m_out(out) {}
    void fileHandled(const FileReport& report) override {
        if (report.status == FileStatus::Failed) {
            m_out << undoFailureText({{}, report.rule.process, report.path, report.reason});
        } else {
            m_out << u"  "_s << report.stamp << u' ' << report.rule.process << u' ' << report.path;
        }
        m_out << u'\n';
    }

private:
    QTextStream& m_out;
};

}  // namespace

int undoRun(const BatchOptions& options, const ModuleValues& values, FileSystem& fs,
            const QDateTime& at, QTextStream& out, QTextStream& err) {
    if (!QFileInfo::exists(values.db_path)) {
        err << missingDatabaseMessage(values.db_path) << u'\n';
        return kExitUnusable;
    }
    UndoPrinter printer(out);
    const UndoOutcome outcome =
        UndoRun(values, fs, &printer, options.dryRun ? RunMode::Dry : RunMode::Real)
            .undo(options.undo, at);
    out.flush();
    if (outcome.missing) {
        err << u"実行 "_s << options.undo << u" の記録がありません\n"_s;
        return kExitUnusable;
    }
    if (outcome.busy) {
        err << runInProgressMessage(values.db_path) << u'\n';
        return kExitBusy;
    }
    if (!outcome.storageError.isEmpty()) {
        err << outcome.storageError << u'\n';
        return kExitUnusable;
    }
    out << u"取消: "_s << outcome.doneFiles
        << (options.dryRun ? u" 件を元に戻す予定です（何も変更していません）\n"_s
                           : u" 件を元に戻しました\n"_s);
    if (!outcome.failures.isEmpty()) {
        err << outcome.failures.size() << u" 件は元に戻せません"_s;
        if (outcome.goneForGood > 0) {
            err << u"（うち完全に削除されたもの "_s << outcome.goneForGood << u" 件）"_s;
        }
        err << u'\n';
        return kExitFailures;
    }
    return kExitComplete;
}

int listRuns(const ModuleValues& values, QTextStream& out, QTextStream& err) {
    if (!QFileInfo::exists(values.db_path)) {
        err << missingDatabaseMessage(values.db_path) << u'\n';
        return kExitUnusable;
    }
    try {
        Connection connection(readOnlyValues(values));
        for (const RunHistory::Recorded& run : RunHistory::recent(connection, 50)) {
            out << recordedRunText(run) << u'\n';
        }
    } catch (const StorageError& error) {
        err << error.message() << u'\n';
        return kExitUnusable;
    }
    return kExitComplete;
}
