#pragma once

#include <QList>
#include <QString>

// A file the run left as it was, and why.
struct FileFailure {
    QString path;
    QString reason;

    // "<path> の処理に失敗しました（<reason>）"
    QString message() const;
};

struct RunOutcome {
    // Empty when every rule was applied; else "順序　<order>　の　<directory>" for the first
    // rule whose directory is missing.
    QString result;
    QList<FileFailure> failures;
    // The user's message for a storage failure that ended the run; empty when none did.
    QString storageError;
    qsizetype handledFiles = 0;
    // Another run held the database, so this one did nothing.
    bool busy = false;
};

// One message for all the files a run left alone: a line each, at most 20, then "ほか N 件".
QString failureSummary(const QList<FileFailure>& failures);

// "順序　<order>　の　<directory>"
QString missingDirectoryText(const QString& order, const QString& directory);

// The run result followed by " が存在しません。正しく設定を行なってください".
QString missingDirectoryMessage(const QString& result);
