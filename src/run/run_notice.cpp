#include "run/run_notice.h"

#include <QLocale>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString count(qsizetype n) {
    return QLocale(QLocale::Japanese).toString(n);
}

}  // namespace

RunNotice runNotice(const RunOutcome& outcome, const QString& databasePath) {
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
    notice.stop = directoryStopMessage(outcome);
    using Ending = RunNotice::Ending;
    notice.ending = outcome.alreadyServed             ? Ending::Served
                    : outcome.busy                    ? Ending::Busy
                    : !outcome.storageError.isEmpty() ? Ending::StorageFailed
                    : !notice.stop.isEmpty()          ? Ending::DirectoryStopped
                    : !outcome.failures.isEmpty()     ? Ending::Failures
                                                      : Ending::Complete;
    return notice;
}

QString runInProgressMessage(const QString& databasePath) {
    return u"別の実行が進行中です（"_s + databasePath + u"）"_s;
}

QString FileFailure::message() const {
    return path + u" の処理に失敗しました（"_s + reason + u"）"_s;
}

QString failureSummary(const QList<FileFailure>& failures) {
    constexpr qsizetype kMaxLines = 20;
    QStringList lines;
    for (qsizetype i = 0; i < std::min(failures.size(), kMaxLines); ++i) {
        lines << failures[i].message();
    }
    if (failures.size() > kMaxLines) {
        lines << u"ほか "_s + QString::number(failures.size() - kMaxLines) + u" 件"_s;
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

QString lastRunText(const QDateTime& at, const RunOutcome& outcome) {
    const QString when = u"前回 "_s + at.toString(u"MM/dd HH:mm"_s) + u' ';
    switch (runNotice(outcome, {}).ending) {
        case RunNotice::Ending::Failures:
            return when + u"失敗 "_s + count(outcome.failures.size()) + u" 件"_s;
        case RunNotice::Ending::Complete:
            return when + u"完了 "_s + count(outcome.handledFiles) + u" 件"_s;
        default:
            return when + u"中断"_s;
    }
}
