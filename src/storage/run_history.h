#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

#include "storage/log_rows.h"
#include "storage/trash_records.h"

class Connection;

// Quillon's own record of its runs, one row a run, beside the system's three tables: what
// serves each scheduled minute once, what finds a run that never finished, and what the
// status line reads.
namespace RunHistory {

// What a run leaves for the next one to know.
struct Start {
    QString program;
    QDateTime started;  // the clock when it began; runText holds the time it ran as
    std::optional<QDateTime> scheduledMinute;  // the minute it serves; none for a run by hand
    QString runText;                           // its 処理日時
    QString rules;                             // the rules it applies, as rulesText made them
    std::optional<qint64> undoes = {};         // the run an undo takes back
};

struct Finish {
    qsizetype handled = 0;
    qsizetype failed = 0;
    qsizetype skipped = 0;
    QString message;      // why it stopped early; empty when it ran to its end
    bool logTrue = true;  // false when a storage failure may have left rows that claim too much
    QList<std::pair<QString, QString>> failures;  // the path and the reason of each failure
};

// A run whose log rows may not match the disk: killed, or stopped by a storage failure.
struct Unchecked {
    qint64 id;
    QString runText;
    qint64 firstRow;  // its rows of the log come after this row id
    QString rules;
};

// One log row an unchecked run wrote, as stored.
struct LoggedFile {
    qint64 rowid;
    QString path;
    QString stamp;
    QString process;
    std::optional<FileIdentity> identity;  // none for a row of a version that kept none
};

// One row a run wrote for a file it handled, with what the run knew of the file: as it found
// it, what its copy or move left at the target, and where the trash took it (or the file its
// copy or move replaced).
struct RunRow {
    qint64 rowid;
    QString path;
    QString stamp;
    QString process;
    std::optional<FileIdentity> identity;
    std::optional<FileIdentity> target;
    std::optional<TrashRecord> trashed;
};

// A run that came to its end (or was stopped), as the status line tells it.
struct Finished {
    QString runText;  // its 処理日時
    qsizetype handled = 0;
    qsizetype failed = 0;
    QString message;  // why it stopped early; empty when it ran to its end
};

// A run as the history keeps it, for a list of runs.
struct Recorded {
    qint64 id = 0;
    QString program;
    bool finished = false;  // it came to an end (or a stop) and said so
    Finished result;
};

// Creates the table where it is missing.
void ensureTable(Connection& connection);
// The statements that keep a logged file's identity (row, run, device, inode, size, mtime),
// record what its copy or move left at the target (device, inode, size, mtime, row), and forget
// it once its row is gone from `logTable` (row).
QString recordIdentityText();
QString recordTargetText();
QString forgetIdentityText(const QString& logTable);
// Forgets the runs whose 処理日時 is before `before`, as the log forgets their rows, with what
// was kept of them; the newest run stays.
void prune(Connection& connection, const QString& before);
// True when a run has already served the minute (given in any time zone).
bool served(Connection& connection, const QDateTime& scheduledMinute);
// Records the run's start and returns its id. `logTable` is where its rows will go.
qint64 begin(Connection& connection, const QString& logTable, const Start& start);
void finish(Connection& connection, qint64 id, const Finish& finish);
QList<Unchecked> unchecked(Connection& connection);
// The rows of `logTable` that the run wrote and that still say the file was handled.
QList<LoggedFile> handledRows(Connection& connection, const QString& logTable,
                              const Unchecked& run);
void markChecked(Connection& connection, qint64 id);
// Why the run of the 処理日時 `runText` failed on `path`; nothing when no run kept a reason.
std::optional<QString> failureReason(Connection& connection, const QString& runText,
                                     const QString& path);
// The run of any program that finished last; nothing before the first run.
std::optional<Recorded> lastFinished(Connection& connection);
// The `limit` newest runs, newest first; none before the first run.
QList<Recorded> recent(Connection& connection, int limit);
// The rules the run `id` applied (as rulesText made them); none when there is no such run.
std::optional<QString> rulesOf(Connection& connection, qint64 id);
// The rows of `logTable` the run `id` wrote for the files it copied, moved or deleted (failed
// ones aside), newest first.
QList<RunRow> rowsOf(Connection& connection, const QString& logTable, qint64 id);

}  // namespace RunHistory
