#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "storage/trash_records.h"

class Connection;

// What a file was when the run logged it, or what the run left at its target: enough to tell
// later whether a name still holds that same file (device and inode; size and modification
// time, in seconds since the epoch).
struct FileIdentity {
    qint64 device = 0;
    qint64 inode = 0;
    qint64 size = 0;
    qint64 mtime = 0;
};

// One day_log row as the run writes it, and the identity of its file, kept beside it.
struct LogRow {
    QString path;
    QString stamp;
    QString process;
    QString runText;
    FileIdentity identity;
};

// A row written earlier in the run that the file's fate changes: with `target`, what its copy or
// move left at the target is recorded; with `trashed`, where in the trash the file went; else its
// process text is replaced (a failure), or, with an empty process, the row is removed (a file
// left alone).
struct LogCorrection {
    qint64 rowid;
    QString path;
    QString process;
    std::optional<FileIdentity> target;
    std::optional<TrashRecord> trashed = {};
};

// Applies the corrections and inserts the rows in one transaction, each row's identity with it
// under the run `runId` (see RunHistory), and returns the rows' row ids in their order. The rows
// go through one prepared statement with bound values, and are stored exactly as the fixed
// insert text would store them. Throws StorageError, in which case nothing was written.
QList<qint64> commitLogBatch(Connection& connection, const QString& table, qint64 runId,
                             const QList<LogRow>& rows, const QList<LogCorrection>& corrections);
