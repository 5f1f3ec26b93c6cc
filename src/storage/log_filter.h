#pragma once

#include <QDate>
#include <QString>

class QIODevice;
struct ModuleValues;

// The 処理 choice that keeps the rows of files left alone ("…失敗") only.
inline const QString kFailuresOnly = QStringLiteral("失敗のみ");

// Which rows of the run log to show: each part that is set must hold.
struct LogFilter {
    QString text;     // contained in the path, letter case as typed
    QString process;  // a 処理内容 as stored, kFailuresOnly, or empty for any
    QDate from;       // the run's day, first and last; an invalid date leaves that end open
    QDate to;
    qint64 run = 0;  // the rows of this run only (its number in the history); 0 for every run

    // " WHERE …" for the log table, every value quoted; empty when nothing is set.
    QString where() const;
};

// Writes the log rows the filter shows, newest first, as CSV: UTF-8 with a byte order mark, a
// header line of the column names, fields quoted where RFC 4180 asks (comma, quote, line
// break) and lines ended by CR LF. A last column, 理由, says why a failed file failed, where the
// run that logged it kept the reason. Throws StorageError.
void writeLogCsv(const ModuleValues& values, const LogFilter& filter, QIODevice& out);
