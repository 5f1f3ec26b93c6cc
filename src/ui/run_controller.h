#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>

#include "disk/file_system.h"
#include "run/run_notice.h"
#include "schedule/schedule.h"
#include "storage/module_values.h"
#include "storage/rule_row.h"
#include "ui/background_work.h"
#include "ui/prompts.h"

// The window's runs and the work beside them: the run of a scheduled minute or of the user's
// "now", the live count of a typed rule, and when the window may close. It knows no widget: it
// works in the background and says what happened through its signals.
class RunController : public QObject {
    Q_OBJECT

public:
    RunController(const ModuleValues& values, const Clock& clock, FileSystem& fs,
                  QObject* parent = nullptr);

    bool running() const { return m_run.busy(); }
    // At a tick of the minute timer: starts the run of the schedule's minute once it is due.
    // False when nothing started.
    bool runIfDue(const Schedule& schedule);
    // A run now, asked for by the user; the schedule gives the log's retention.
    void runNow(const Schedule& schedule);
    // Takes run `id` back, as a run works: in the background, reported by the same signals.
    void undo(qint64 id);
    // Counts what the rule would handle now (ruleCounted); a count under way is dropped.
    void countRule(const Rule& rule);
    void cancelCount() { m_count.cancel(); }
    bool counting() const { return m_count.busy(); }
    // Not while a run works: the window closes once it has ended (closeWanted).
    bool mayClose();
    // The last run any program finished, as the run history keeps it; nothing when there is
    // none or the store cannot be read now (the next action on it says why).
    std::optional<RunHistory::Recorded> lastRun() const;

signals:
    void runStarted();
    void runProgressed(qsizetype files);  // a few times a second while a run works
    void runFinished(const RunNotice& notice);
    void ruleCounted(const QString& text);
    void closeWanted();

private:
    void start(const std::optional<QDateTime>& minute, const Schedule& schedule);
    // What a run's work hands back on the controller's thread: its notice, and a close that
    // waited for it.
    BackgroundWork::Delivery finishing(const RunNotice& notice);

    ModuleValues m_values;
    const Clock& m_clock;
    FileSystem& m_fs;
    BackgroundWork m_run;
    BackgroundWork m_count;
    std::shared_ptr<std::atomic<qsizetype>> m_handled;  // by the run under way
    QTimer m_progress;
    bool m_closeWanted = false;
};
