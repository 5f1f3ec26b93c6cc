#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

struct BatchOptions {
    QString dbPath;
    bool dryRun = false;
    QDateTime at;  // the run's date-time; invalid means now
    bool help = false;
};

struct BatchOptionsResult {
    BatchOptions options;
    QString error;  // what is wrong with the command line; empty when nothing is
};

// Reads `[--db PATH] [--dry-run] [--at "yyyy/MM/dd HH:mm:ss"] [--help]`.
BatchOptionsResult parseBatchOptions(const QStringList& arguments, const QString& defaultDbPath);

QString batchUsage();
