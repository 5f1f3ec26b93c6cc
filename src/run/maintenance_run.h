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

// The maintenance run: checks what an unfinished run left, prunes the log, then applies the
// rules in their order, and keeps a record of itself beside the log.
class MaintenanceRun {
public:
    MaintenanceRun(const ModuleValues& values, FileSystem& fs, RunObserver* observer = nullptr);

    // Lists and reports what the run would handle, and changes nothing: no pruning, no log
    // rows, no files, no lock. The values should then open the database read-only.
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
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
    // do a database other users could change and another run holding the database.
    RunOutcome EXEC_DEL(const QDateTime& runAt, const QString& logDays);

private:
    void runLocked(const QDateTime& runAt, const QString& logDays, RunOutcome& outcome);
    void applyRules(FileSystem& fs, RunLog& log, const QList<Rule>& rules, const QDateTime& runAt,
                    RunOutcome& outcome);

    ModuleValues m_values;
    FileSystem& m_fs;
    RunObserver* m_observer;
    bool m_dryRun = false;
    qsizetype m_batchSize = 1024;
    std::optional<QDateTime> m_scheduledMinute;
    bool m_realMinute = true;
};
