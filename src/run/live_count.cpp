#include "run/live_count.h"

#include <QFile>

#include "run/old_files.h"
#include "text/date_time_text.h"
#include "text/number_text.h"

using namespace Qt::StringLiterals;

RuleCount countRuleFiles(FileSystem& fs, const Rule& rule, const QDateTime& now,
                         const std::atomic<bool>& cancelled) {
    RuleCount count;
    const OpenedDirectory source = fs.openDirectory(QFile::encodeName(rule.source), false);
    if (source.status != OpenedDirectory::Status::Open) {
        count.status = source.status == OpenedDirectory::Status::Missing
                           ? RuleCount::Status::Missing
                           : RuleCount::Status::Unreadable;
        return count;
    }
    const OldFiles old = listOldFiles(fs, source.fd.get(), rule, now);
    const Listing& listing = *old.listing;
    if (listing.error != 0) {
        count.status = RuleCount::Status::Unreadable;
        return count;
    }
    for (const ListedFile& file : listing.files) {  // oldest first
        if (cancelled) {
            count.status = RuleCount::Status::Cancelled;
            return count;
        }
        struct stat info {};
        if (!fs.statAt(source.fd.get(), listing.name(file), info).ok() || !S_ISREG(info.st_mode)) {
            continue;  // gone since it was listed
        }
        if (count.files++ == 0) {
            count.oldest = stampText(file.mtime).left(10);
        }
        count.bytes += info.st_size;
    }
    return count;
}

QString ruleCountText(const RuleCount& count) {
    switch (count.status) {
        case RuleCount::Status::Missing:
            return u"対象: 元ディレクトリがありません"_s;
        case RuleCount::Status::Unreadable:
            return u"対象: 元ディレクトリを読めません"_s;
        case RuleCount::Status::Cancelled:
            return {};
        case RuleCount::Status::Counted:
            break;
    }
    if (count.files == 0) {
        return u"対象 0 件"_s;
    }
    return u"対象 "_s + countText(count.files) + u" 件（"_s + sizeText(count.bytes) +
           u"）、最古 "_s + count.oldest;
}
