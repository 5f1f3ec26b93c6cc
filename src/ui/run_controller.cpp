#include "ui/run_controller.h"

#include "run/live_count.h"
#include "run/maintenance_run.h"
#include "run/undo_run.h"
#include "schedule/scheduled_minute.h"
#include "storage/connection.h"
#include "storage/storage_error.h"
#include "text/number_text.h"

using namespace Qt::StringLiterals;

namespace {

// Counts the files the run has handled, for the window to show.
class HandledCount : public RunObserver {
public:
    explicit HandledCount(std::atomic<qsizetype>& files) : m_files(files) {}
    void fileHandled(const FileReport&) override {
        m_files.fetch_add(1, std::memory_order_relaxed);
    }

private:
    std::atomic<qsizetype>& m_files;
};

}  // namespace

RunController::RunController(const ModuleValues& values, const Clock& clock, FileSystem& fs,
                             QObject* parent)
    : QObject(parent), m_values(values), m_clock(clock), m_fs(fs) {
    // Enough to read, and each redraw of the window costs a little.
    m_progress.setInterval(250);
    connect(&m_progress, &QTimer::timeout, this,
            [this] { emit runProgressed(m_handled->load(std::memory_order_relaxed)); });
}

bool RunController::runIfDue(const Schedule& schedule) {
    if (running()) {
        return false;
    }
    const std::optional<QDateTime> minute = dueMinute(m_clock.now(), schedule);
    if (minute) {
        start(minute, schedule);
    }
    return minute.has_value();
}

void RunController::runNow(const Schedule& schedule) {
    if (!running()) {
        start(std::nullopt, schedule);
    }
}

void RunController::start(const std::optional<QDateTime>& minute, const Schedule& schedule) {
    m_handled = std::make_shared<std::atomic<qsizetype>>(0);
    const QDateTime runAt = m_clock.now();
    // The run is never dropped: nothing starts another while it works, and the controller
    // waits for it before it goes.
    m_run.start([this, values = m_values, fs = &m_fs, handled = m_handled, minute, runAt,
                 logDays = schedule.logDays](const std::atomic<bool>&) -> BackgroundWork::Delivery {
        HandledCount observer(*handled);
        MaintenanceRun run(values, *fs, &observer);
        run.setScheduledMinute(minute);
        return finishing(runNotice(run.EXEC_DEL(runAt, logDays), values.db_path, runAt));
    });
    m_progress.start();
    emit runStarted();
}

void RunController::undo(qint64 id) {
    if (running()) {
        return;
    }
    m_handled = std::make_shared<std::atomic<qsizetype>>(0);
    const QDateTime at = m_clock.now();
    m_run.start([this, values = m_values, fs = &m_fs, handled = m_handled, id,
                 at](const std::atomic<bool>&) -> BackgroundWork::Delivery {
        HandledCount observer(*handled);
        const UndoOutcome outcome = UndoRun(values, *fs, &observer).undo(id, at);
        RunNotice notice;
        notice.headline = at.toString(u"MM/dd HH:mm"_s) + u" の取消: "_s +
                          (outcome.storageError.isEmpty() && !outcome.busy
                               ? u"完了 "_s + countText(outcome.doneFiles) + u" 件"_s
                               : u"中断"_s);
        if (outcome.busy) {
            notice.problems << runInProgressMessage(values.db_path);
        }
        if (!outcome.storageError.isEmpty()) {
            notice.problems << outcome.storageError;
        }
        if (!outcome.failures.isEmpty()) {
            notice.headline += u"、元に戻せない "_s + countText(outcome.failures.size()) + u" 件"_s;
            QStringList lines;
            for (const FileFailure& failure : outcome.failures.mid(0, 20)) {
                lines << undoFailureText(failure);
            }
            notice.problems << lines.join(u'\n');
        }
        return finishing(notice);
    });
    m_progress.start();
    emit runStarted();
}

BackgroundWork::Delivery RunController::finishing(const RunNotice& notice) {
    return [this, notice] {
        m_progress.stop();
        emit runFinished(notice);
        if (m_closeWanted) {
            m_closeWanted = false;
            emit closeWanted();
        }
    };
}

void RunController::countRule(const Rule& rule) {
    // A folder of a million files takes seconds to list: the window repaints meanwhile.
    m_count.start([this, fs = &m_fs, rule,
                   now = m_clock.now()](const std::atomic<bool>& stop) -> BackgroundWork::Delivery {
        const QString text = ruleCountText(countRuleFiles(*fs, rule, now, stop));
        return [this, text] { emit ruleCounted(text); };
    });
}

bool RunController::mayClose() {
    m_closeWanted = running();
    return !m_closeWanted;
}

std::optional<RunHistory::Recorded> RunController::lastRun() const {
    // Any program's run counts: this window's, the user timer's, cron's, one by hand.
    try {
        Connection connection(m_values);
        return RunHistory::lastFinished(connection);
    } catch (const StorageError&) {
        // Only a status: the next action on the store says what is wrong.
    }
    return std::nullopt;
}
