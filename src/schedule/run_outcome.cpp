#include "schedule/run_outcome.h"

using namespace Qt::StringLiterals;

QString FileFailure::message() const {
    return path + u" の処理に失敗しました（"_s + reason + u"）"_s;
}

QString missingDirectoryText(const QString& order, const QString& directory) {
    return u"順序　"_s + order + u"　の　"_s + directory;
}

QString missingDirectoryMessage(const QString& result) {
    return result + u" が存在しません。正しく設定を行なってください"_s;
}
