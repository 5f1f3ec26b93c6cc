#pragma once

#include <sys/types.h>

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>
#include <set>
#include <utility>

#include "schedule/file_system.h"
#include "schedule/rule.h"
#include "schedule/run_outcome.h"
#include "storage/module_values.h"

class LogWriter;
struct ListedFile;
struct Listing;

// Skipped: changed or replaced since it was listed, so left alone and not counted.
enum class FileStatus { Done, Failed, Planned, Skipped };

// One file the run handled (or, in a dry run, would handle). Paths are the text forms.
struct FileReport {
    const Rule& rule;
    QString path;
    QString target;  // where a copy or move puts it; empty for any other process
    QString stamp;
    FileStatus status;
    QString reason;  // why it failed
};

// Told about each rule as it starts and each file after it is handled, and now and then while
// a directory is listed. The window lets its events through here; the batch runner prints.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void ruleStarted(const Rule&) {}
    virtual void fileHandled(const FileReport&) {}
    virtual void working() {}
};

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
    // already is not served again, and the run then does nothing.
    void setScheduledMinute(const std::optional<QDateTime>& minute) { m_scheduledMinute = minute; }

    // Runs as of runAt, keeping the log for logDays days. Never throws: a failure of the store
    // (or of the thread that writes to it) ends the run and comes back in the outcome, and so
    // do a database other users could change and another run holding the database.
    RunOutcome EXEC_DEL(const QDateTime& runAt, const QString& logDays);

private:
    // Whether a rule's directory lets its rule, or the run, go on.
    enum class Opened { Go, SkipRule, StopRun };

    struct RuleRun;
    struct OldFile {
        const ListedFile* listed;
        QString name;  // its text form
        QString path;
        QString stamp;
    };

    void runLocked(const QDateTime& runAt, const QString& logDays, RunOutcome& outcome);
    void applyRules(LogWriter* writer, const QList<Rule>& rules, const QDateTime& runAt,
                    RunOutcome& outcome);
    // False when the rule stops the run.
    bool applyRule(LogWriter* writer, const Rule& rule, const QDateTime& runAt,
                   RunOutcome& outcome);
    Opened openRuleDirectory(const Rule& rule, const QString& path, bool mayBePathOnly,
                             UniqueFd& fd, RunOutcome& outcome);
    void handleAll(LogWriter* writer, const RuleRun& run, RunOutcome& outcome);
    FileReport handle(const RuleRun& run, const OldFile& file);
    void removeDeadTemporariesOnce(int directory);

    ModuleValues m_values;
    FileSystem& m_fs;
    RunObserver* m_observer;
    bool m_dryRun = false;
    qsizetype m_batchSize = 1024;
    std::optional<QDateTime> m_scheduledMinute;
    std::set<std::pair<dev_t, ino_t>> m_cleanedDirectories;  // during one run
};
