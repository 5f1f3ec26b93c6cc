#pragma once

#include <QList>
#include <QString>

// A file the run left as it was (or a rule's folder it could not work in), and why.
struct FileFailure {
    QString order;    // the rule's 順序
    QString process;  // and its 処理
    QString path;
    QString reason;

    // "<path> の処理に失敗しました（<reason>）"
    QString message() const;
};

struct RunOutcome {
    // Empty when every rule was applied; else "順序　<order>　の　<directory>" for the first
    // rule whose directory is missing, or refused (unsafeDirectory).
    QString result;
    // The directory of `result` was refused: another user could put something in its place.
    bool unsafeDirectory = false;
    QList<FileFailure> failures;
    // The user's message for a storage failure that ended the run; empty when none did.
    QString storageError;
    // Why the stored rules could not be run (storedRulesProblem); empty when they could. Such a
    // run touches nothing.
    QString refusedRules;
    qsizetype doneFiles = 0;     // copied, moved or deleted as the rule says (failures aside)
    qsizetype skippedFiles = 0;  // changed or gone since they were listed, so left alone
    qsizetype heldFiles = 0;     // left alone since an earlier rule of the run failed on them
    // Another run held the database, so this one did nothing.
    bool busy = false;
    // Another run had already served the scheduled minute, so this one did nothing.
    bool alreadyServed = false;
    // The observer asked the run to stop before it came to its end.
    bool cancelled = false;
    // 保管日数 is more than 0: the run's deletions go to the trash.
    bool trashes = false;
};
