#include "schedule/run_outcome.h"

#include <QStringList>
#include <algorithm>

using namespace Qt::StringLiterals;

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
