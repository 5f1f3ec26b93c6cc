#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>
#include <utility>

#include "disk/file_system.h"
#include "run/maintenance_run.h"
#include "run/run_observer.h"
#include "run/run_outcome.h"
#include "storage/log_rows.h"
#include "storage/module_values.h"
#include "storage/run_history.h"

namespace UndoSteps {
class Undoer;
struct Step;
}  // namespace UndoSteps

// What taking a run back came to.
struct UndoOutcome {
    bool missing = false;  // no run of that number is recorded
    bool busy = false;     // another run held the database
    QString storageError;
    qsizetype doneFiles = 0;      // came back
    QList<FileFailure> failures;  // could not come back, and why
    qsizetype goneForGood = 0;    // of those, deleted for good (保管日数 0)
};

// Takes a run back, file by file, newest first, by what the run recorded of each file: a moved
// file goes back to its source name, a copy the run wrote is removed, a file a deletion put in
// the trash comes back from it, and so does a file a copy or move replaced. It never
// overwrites anything, never removes a file the run did not make, and touches a file only while
// it is still exactly what the run left; anything else stays and is reported ("<path> を元に戻せ
// ません（<why>）"). A file already back is passed over, so taking a run back twice changes
// nothing more. The undo holds the lock, is recorded as a run that names the run it takes back,
// and logs each file ("移動取消", "複写取消", "削除取消", or with "失敗"). A dry one does the
// same on a model of the tree and changes nothing.
class UndoRun {
public:
    UndoRun(const ModuleValues& values, FileSystem& fs, RunObserver* observer = nullptr,
            RunMode mode = RunMode::Real);

    UndoOutcome undo(qint64 runId, const QDateTime& at);
    // How many files' rows are committed at a time; the default suits a long run.
    void setBatchSize(qsizetype size) { m_batchSize = size > 0 ? size : 1; }

private:
    // Takes back the files of one committed batch, the rows from `from` on, one for each step:
    // `rowids` are the ids of the rows logged for the steps that were not passed over, in order.
    void takeBack(UndoSteps::Undoer& undoer, const QList<RunHistory::RunRow>& rows, qsizetype from,
                  const QList<UndoSteps::Step>& steps, const QList<qint64>& rowids,
                  UndoOutcome& outcome, QList<LogCorrection>& corrections);
    // Whether a copy or move of the run put this file (device and inode) where it then was.
    bool placedByTheRun(const QList<RunHistory::RunRow>& rows, const FileIdentity& file);

    ModuleValues m_values;
    FileSystem& m_fs;
    RunObserver* m_observer;
    RunMode m_mode;
    qsizetype m_batchSize = 1024;
    // The files the run's copies and moves left, read from its rows when first asked.
    std::optional<QSet<std::pair<qint64, qint64>>> m_placed;
};

// "<path> を元に戻せません（<reason>）"
QString undoFailureText(const FileFailure& failure);
