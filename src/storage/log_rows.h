#pragma once

#include <QList>
#include <QString>

class Connection;

// One day_log row as the run writes it.
struct LogRow {
    QString path;
    QString stamp;
    QString process;
    QString runText;
};

// A row written earlier in the run that the file's fate changes: its process text replaced
// (a failure), or, with an empty process, the row removed (a file left alone).
struct LogCorrection {
    qint64 rowid;
    QString path;
    QString process;
};

// Applies the corrections and inserts the rows in one transaction, and returns the rows' row
// ids in their order. The rows go through one prepared statement with bound values, and are
// stored exactly as the fixed insert text would store them. Throws StorageError, in which case
// nothing was written.
QList<qint64> commitLogBatch(Connection& connection, const QString& table,
                             const QList<LogRow>& rows, const QList<LogCorrection>& corrections);
