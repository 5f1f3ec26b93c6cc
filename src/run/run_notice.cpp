#include "run/run_notice.h"

#include <algorithm>

#include "text/number_text.h"

using namespace Qt::StringLiterals;

namespace {

// "完了 39,997 件、失敗 3 件", "完了 12 件" or "中断".
QString resultText(RunNotice::Ending ending, qsizetype done, qsizetype failed) {
    if (ending != RunNotice::Ending::Failures && ending != RunNotice::Ending::Complete) {
        return u"中断"_s;
    }
    QString text = u"完了 "_s + countText(done) + u" 件"_s;
    if (failed > 0) {
        text += u"、失敗 "_s + countText(failed) + u" 件"_s;
    }
    return text;
}

}  // namespace

RunNotice runNotice(const RunOutcome& outcome, const QString& databasePath,
                    const QDateTime& runAt) {
    RunNotice notice;
    if (outcome.busy) {
        notice.problems << runInProgressMessage(databasePath);
    }
    if (!outcome.storageError.isEmpty()) {
        notice.problems << outcome.storageError;
    }
    if (!outcome.failures.isEmpty()) {
        notice.problems << failureSummary(outcome.failures);
    }
    notice.stop = stopMessage(outcome);
    using Ending = RunNotice::Ending;
    notice.ending = outcome.alreadyServed             ? Ending::Served
                    : outcome.busy                    ? Ending::Busy
                    : !outcome.storageError.isEmpty() ? Ending::StorageFailed
                    : !outcome.refusedRules.isEmpty() ? Ending::RulesRefused
                    : !notice.stop.isEmpty()          ? Ending::DirectoryStopped
                    : !outcome.failures.isEmpty()     ? Ending::Failures
                                                      : Ending::Complete;
    notice.headline = runAt.toString(u"MM/dd HH:mm"_s) + u" の実行: "_s +
                      resultText(notice.ending, outcome.doneFiles, outcome.failures.size());
    return notice;
}

QString processLabel(const Rule& rule, bool toTrash) {
    return toTrash && rule.process == kDeleteProcess ? u"ごみ箱へ"_s : rule.process;
}

QString runInProgressMessage(const QString& databasePath) {
    return u"別の実行が進行中です（"_s + databasePath + u"）"_s;
}

QString FileFailure::message() const {
    return path + u" の処理に失敗しました（"_s + reason + u"）"_s;
}

QString failureSummary(const QList<FileFailure>& failures, qsizetype maxLines) {
    QStringList lines;
    for (qsizetype i = 0; i < std::min(failures.size(), maxLines); ++i) {
        const FileFailure& failure = failures[i];
        lines << u"順序 "_s + failure.order + u' ' + failure.process + u": "_s + failure.message();
    }
    if (failures.size() > maxLines) {
        lines << u"ほか "_s + QString::number(failures.size() - maxLines) + u" 件"_s;
    }
    return lines.join(u'\n');
}

QString missingDirectoryText(const QString& order, const QString& directory) {
    return u"順序　"_s + order + u"　の　"_s + directory;
}

QString directoryStopMessage(const RunOutcome& outcome) {
    if (outcome.result.isEmpty()) {
        return {};
    }
    return outcome.result +
           (outcome.unsafeDirectory
                ? u" は他のユーザーが差し替えられる場所にあります。正しく設定を行なってください"_s
                : u" が存在しません。正しく設定を行なってください"_s);
}

QString stopMessage(const RunOutcome& outcome) {
    return outcome.refusedRules.isEmpty() ? directoryStopMessage(outcome) : outcome.refusedRules;
}

namespace {

// "完了 39,997 件、失敗 3 件" or "中断", as the history keeps the run.
QString finishedText(const RunHistory::Finished& run) {
    const RunNotice::Ending ending = !run.message.isEmpty() ? RunNotice::Ending::DirectoryStopped
                                     : run.failed > 0       ? RunNotice::Ending::Failures
                                                            : RunNotice::Ending::Complete;
    // The history keeps what a run took on, failures included; a folder that failed is counted
    // as one by now, but was not by older runs.
    return resultText(ending, std::max<qsizetype>(run.handled - run.failed, 0), run.failed);
}

}  // namespace

QString lastRunText(const RunHistory::Finished& run) {
    return u"前回 "_s + run.runText.mid(5, 11) + u' ' + finishedText(run);  // MM/dd HH:mm
}

QString recordedResultText(const RunHistory::Recorded& run) {
    return run.finished ? finishedText(run.result) : u"未完了"_s;
}

QString recordedRunText(const RunHistory::Recorded& run) {
    return QString::number(run.id).rightJustified(6) + u"  "_s + run.result.runText + u"  "_s +
           run.program + u"  "_s + recordedResultText(run);
}
