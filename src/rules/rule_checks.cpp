#include "rules/rule_checks.h"

#include "schedule/folder_checker.h"
#include "settings/number_text.h"

using namespace Qt::StringLiterals;

bool KAK_CHK(const QString& extension) {
    for (const QChar c : {u'.', u'/', u'\\', u'*', u'?'}) {
        if (extension.contains(c)) {
            return true;
        }
    }
    return false;
}

std::optional<RuleCheckFailure> checkRule(const RuleEntry& entry, FileSystem& fs) {
    if (!IsNumeric(entry.retention)) {
        return RuleCheckFailure{u"残存日数は数値で入力してください"_s, RuleField::Retention};
    }
    if (Val(entry.retention) < 0) {
        return RuleCheckFailure{u"残存日数は０以上の数値で入力してください"_s,
                                RuleField::Retention};
    }
    if (entry.extension.isEmpty()) {
        return RuleCheckFailure{u"拡張子が設定されていません"_s, RuleField::Extension};
    }
    if (KAK_CHK(entry.extension)) {
        return RuleCheckFailure{u"拡張子に[./\\*?]の記号は使えません"_s, RuleField::Extension};
    }
    if (entry.process.isEmpty()) {
        return RuleCheckFailure{u"処理を選択してください"_s, RuleField::Process};
    }
    if (!FolderExists(entry.source)) {
        return RuleCheckFailure{u"元ディレクトリが存在しません"_s, RuleField::Unchanged};
    }
    if (entry.process != u"削除"_s) {
        if (!FolderExists(entry.destination)) {
            return RuleCheckFailure{u"先ディレクトリが存在しません"_s, RuleField::Unchanged};
        }
        if (entry.source == entry.destination || fs.sameFile(entry.source, entry.destination)) {
            return RuleCheckFailure{u"元ディレクトリと先ディレクトリは別の場所を指定してください"_s,
                                    RuleField::Unchanged};
        }
    }
    return std::nullopt;
}
