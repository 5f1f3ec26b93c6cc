#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

#include "disk/file_system.h"
#include "run/run_observer.h"
#include "run/run_outcome.h"
#include "storage/module_values.h"
#include "storage/rule_row.h"

class RunLog;

// What a run is made for: to change the disk and the log, or, as a dry run, to tell what it
// would change and change nothing: no pruning, no log rows, no files, no lock, and a database
// opened read-only.
enum class RunMode { Real, Dry };

// The maintenance run: checks what an unfinished run left, prunes the log, then applies the
// rules in their order, and keeps a record of itself beside the log.
class MaintenanceRun {
public:
    MaintenanceRun(const ModuleValues& values, FileSystem& fs, RunObserver* observer = nullptr,
                   RunMode mode = RunMode::Real);

    // How many log rows are committed together before their files are touched.
    void setBatchSize(qsizetype size) { m_batchSize = size > 0 ? size : 1; }
    // The scheduled minute (see dueMinute) this run serves: a minute another run has served
    // already is not served again, and the run then does nothing. Only a minute of the real
    // clock is marked served by the run; one a run as of another time stands in (`real` false)
    // is only looked up.
    void setScheduledMinute(const std::optional<QDateTime>& minute, bool real = true) {
        m_scheduledMinute = minute;
        m_realMinute = real;
    }

    // Runs as of runAt, keeping the log for logDays days. Never throws: a failure of the store
    // (or of the thread that writes to it) ends the run and comes back in the outcome, and so
    // do a database other users could change, another run holding the database, and a stop the
    // observer asked for (RunObserver::stopWanted).
    RunOutcome EXEC_DEL(const QDateTime& runAt, const QString& logDays);

private:
    void runLocked(const QDateTime& runAt, const QString& logDays, RunOutcome& outcome);
    void applyRules(FileSystem& fs, RunLog& log, const QList<Rule>& rules, const QDateTime& runAt,
                    RunOutcome& outcome);

    ModuleValues m_values;
    FileSystem& m_fs;
    RunObserver* m_observer;
    RunMode m_mode;
    qsizetype m_batchSize = 1024;
    std::optional<QDateTime> m_scheduledMinute;
    bool m_realMinute = true;
};
