#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "schedule/file_system.h"
#include "schedule/run_outcome.h"
#include "storage/module_values.h"

class LogWriter;

// One row of the rule table, every field trimmed.
struct Rule {
    QString order;        // 順序
    QString source;       // 元ディレクトリ
    QString destination;  // 先ディレクトリ
    QString extension;    // 拡張子
    QString retention;    // 残存日数
    QString process;      // 処理
};

enum class FileStatus { Done, Failed, Planned };

// One file the run handled (or, in a dry run, would handle).
struct FileReport {
    const Rule& rule;
    QString path;
    QString target;  // where a copy or move puts it; empty for any other process
    QString stamp;
    FileStatus status;
    QString reason;  // why it failed
};

// Told about each rule as it starts and each file after it is handled. The window lets its
// events through here; the batch runner prints.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void ruleStarted(const Rule&) {}
    virtual void fileHandled(const FileReport&) {}
};

// The maintenance run: prunes the log, then applies the rules in their order.
class MaintenanceRun {
public:
    MaintenanceRun(const ModuleValues& values, FileSystem& fs, RunObserver* observer = nullptr);

    // Lists and reports what the run would handle, and changes nothing: no pruning, no log
    // rows, no files.
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
    // How many log rows are committed together before their files are touched.
    void setBatchSize(qsizetype size) { m_batchSize = size > 0 ? size : 1; }

    // Runs as of runAt, keeping the log for logDays days. Never throws: a failure of the store
    // (or of the thread that writes to it) ends the run and comes back in the outcome.
    RunOutcome EXEC_DEL(const QDateTime& runAt, const QString& logDays);

private:
    struct OldFile {
        QString path;
        QString name;
        QString stamp;
    };

    void applyRule(LogWriter* writer, const Rule& rule, const QDateTime& runAt,
                   RunOutcome& outcome);
    FileReport handle(const Rule& rule, const OldFile& file, bool ontoItself);

    ModuleValues m_values;
    FileSystem& m_fs;
    RunObserver* m_observer;
    bool m_dryRun = false;
    qsizetype m_batchSize = 1024;
};
