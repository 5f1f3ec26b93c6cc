#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "disk/file_system.h"
#include "run/maintenance_run.h"
#include "run/run_observer.h"
#include "run/run_outcome.h"
#include "storage/module_values.h"

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

private:
    ModuleValues m_values;
    FileSystem& m_fs;
    RunObserver* m_observer;
    RunMode m_mode;
};

// "<path> を元に戻せません（<reason>）"
QString undoFailureText(const FileFailure& failure);
