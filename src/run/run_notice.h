#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include "run/run_outcome.h"
#include "storage/rule_row.h"
#include "storage/run_history.h"

// What a run came to, as the window and sweeprun-batch both tell it.
struct RunNotice {
    // The most serious thing that happened; it decides the batch's exit code.
    enum class Ending {
        Served,
        Busy,
        StorageFailed,
        RulesRefused,
        DirectoryStopped,
        Failures,
        Complete
    };
    Ending ending = Ending::Complete;
    // When the run was and what it came to: "12/07 13:04 の実行: 完了 39,997 件、失敗 3 件", or
    // "… の実行: 中断" for a run that did not come to its end.
    QString headline;
    // What is said without stopping anything, in this order: another run held the database
    // (runInProgressMessage), the store failed, files were left alone (failureSummary).
    QStringList problems;
    // What stopped the run and needs the user (stopMessage).
    QString stop;
};
RunNotice runNotice(const RunOutcome& outcome, const QString& databasePath,
                    const QDateTime& runAt = {});

// What a rule does to its files, as the user reads it: its 処理, or "ごみ箱へ" for a 削除 whose
// files go to the trash.
QString processLabel(const Rule& rule, bool toTrash);

// "別の実行が進行中です（<db>）"
QString runInProgressMessage(const QString& databasePath);

// One message for all the files a run left alone: a line each, "順序 003 移動: <message>", at
// most `maxLines`, then "ほか N 件". Empty when there are none.
QString failureSummary(const QList<FileFailure>& failures, qsizetype maxLines = 20);

// "順序　<order>　の　<directory>"
QString missingDirectoryText(const QString& order, const QString& directory);

// What the user is told of the directory that stopped the run: the result followed by
// " が存在しません。正しく設定を行なってください", or for a refused one by " は他のユーザーが
// 差し替えられる場所にあります。正しく設定を行なってください". Empty when none did.
QString directoryStopMessage(const RunOutcome& outcome);

// What stopped the run and needs the user: a stored rule that cannot run (refusedRules), else
// the directory (directoryStopMessage); empty when nothing did.
QString stopMessage(const RunOutcome& outcome);

// "前回 12/07 13:04 完了 39,997 件、失敗 3 件" (without the failures when there were none), or
// "前回 12/07 13:04 中断" for a run a missing directory or a storage failure kept from its end:
// the run as the history keeps it, whichever program made it.
QString lastRunText(const RunHistory::Finished& run);

// One recorded run, as `sweeprun-batch --runs` lists it: its number, when it ran, the program
// and what it came to ("  12  2026/12/07 13:04:12  sweeprun-batch  完了 3 件"; "未完了" for a
// run that never finished).
QString recordedRunText(const RunHistory::Recorded& run);
// Its last part alone: what the run came to.
QString recordedResultText(const RunHistory::Recorded& run);
