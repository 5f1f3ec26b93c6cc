#include "rules/rule_checks.h"

#include <QFile>

#include "text/number_text.h"

using namespace Qt::StringLiterals;

namespace {

// The directory as a run would reach it; Missing for an empty path.
OpenedDirectory reach(FileSystem& fs, const QString& path) {
    return path.isEmpty() ? OpenedDirectory{} : fs.openDirectory(QFile::encodeName(path), true);
}

// Both directories were opened and are one on disk. One the run would refuse to enter is told
// about when the run comes to it.
bool sameDirectory(FileSystem& fs, const OpenedDirectory& a, const OpenedDirectory& b) {
    struct stat first {};
    struct stat second {};
    return a.fd.valid() && b.fd.valid() && fs.statOpen(a.fd.get(), first).ok() &&
           fs.statOpen(b.fd.get(), second).ok() && sameIdentity(first, second);
}

}  // namespace

bool KAK_CHK(const QString& extension) {
    for (const QChar c : {u'.', u'/', u'\\', u'*', u'?'}) {
        if (extension.contains(c)) {
            return true;
        }
    }
    return false;
}

std::optional<RuleCheckFailure> checkRule(const Rule& entry, FileSystem& fs) {
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
    const OpenedDirectory source = reach(fs, entry.source);
    if (source.status == OpenedDirectory::Status::Missing) {
        return RuleCheckFailure{u"元ディレクトリが存在しません"_s, RuleField::Unchanged};
    }
    if (entry.process != kDeleteProcess) {
        const OpenedDirectory destination = reach(fs, entry.destination);
        if (destination.status == OpenedDirectory::Status::Missing) {
            return RuleCheckFailure{u"先ディレクトリが存在しません"_s, RuleField::Unchanged};
        }
        if (entry.source == entry.destination || sameDirectory(fs, source, destination)) {
            return RuleCheckFailure{u"元ディレクトリと先ディレクトリは別の場所を指定してください"_s,
                                    RuleField::Unchanged};
        }
    }
    return std::nullopt;
}
