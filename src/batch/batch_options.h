#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

struct BatchOptions {
    QString dbPath;
    bool dryRun = false;
    QDateTime at;           // the run's date-time; invalid means now
    bool ifDue = false;     // run only when the stored schedule names this minute
    bool listRuns = false;  // list the recorded runs instead of running
    qint64 undo = 0;        // the run to take back instead of running; 0 for none
    bool help = false;
    bool version = false;
};

struct BatchOptionsResult {
    BatchOptions options;
    QString error;  // what is wrong with the command line; empty when nothing is
};

// Reads `[--db PATH] [--dry-run] [--if-due] [--at "yyyy/MM/dd HH:mm:ss"] [--runs] [--help]
// [--version]`.
BatchOptionsResult parseBatchOptions(const QStringList& arguments, const QString& defaultDbPath);

QString batchUsage(const QString& defaultDbPath);
QString batchVersion();
