#include "disk/file_lister.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "disk/name_text.h"
#include "disk/unique_fd.h"
#include "support/temp_tree.h"
#include "text/date_time_text.h"

using namespace Qt::StringLiterals;

namespace {

QStringList entries(const QString& dir, const QString& extension, const KeepFile& keep = {},
                    EntryTypes types = EntryTypes::Reported) {
    const UniqueFd fd(::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY));
    const Listing listing = ReadDir(fd.get(), extension, keep, {}, types);
    EXPECT_EQ(listing.error, 0);
    size_t names = 0;
    for (const ListedFile& file : listing.files) {
        names += file.nameSize + 1;
    }
    EXPECT_EQ(listing.names.size(), names);  // nothing is held of a file not kept
    QStringList texts;
    for (const ListedFile& file : listing.files) {
        texts << stampText(file.mtime) + u' ' + nameText(listing.nameView(file));
    }
    return texts;
}

}  // namespace

TEST(FileLister, ListsRegularFilesOfTheExtensionOldestFirst) {
    TempTree tree;
    const QString dir = tree.dir(u"in"_s);
    tree.file(u"in/b.txt"_s, "b", at(u"2003/03/01 10:00:00"_s));
    tree.file(u"in/a.txt"_s, "a", at(u"2003/03/01 10:00:00"_s));
    tree.file(u"in/old.TXT"_s, "o", at(u"2001/01/02 03:04:05"_s));
    tree.file(u"in/it's 日本.Txt"_s, "j", at(u"2002/06/30 23:59:59"_s));
    tree.file(u"in/a.txt.bak"_s, "x", at(u"2000/01/01 00:00:00"_s));
    tree.file(u"in/atxt"_s, "x", at(u"2000/01/01 00:00:00"_s));
    tree.file(u"in/sub/deep.txt"_s, "x", at(u"2000/01/01 00:00:00"_s));
    tree.dir(u"in/folder.txt"_s);
    const QString outside = tree.file(u"elsewhere.txt"_s, "x", at(u"2000/01/01 00:00:00"_s));
    ASSERT_TRUE(QFile::link(outside, dir + u"/link.txt"_s));
    ASSERT_TRUE(QFile::link(tree.path(u"in/sub"_s), dir + u"/sublink.txt"_s));

    // Where the file system reports no entry types, each entry's own status tells.
    for (const EntryTypes types : {EntryTypes::Reported, EntryTypes::Ignored}) {
        EXPECT_EQ(
            entries(dir, u"txt"_s, {}, types),
            (QStringList{u"2001/01/02 03:04:05 old.TXT"_s, u"2002/06/30 23:59:59 it's 日本.Txt"_s,
                         u"2003/03/01 10:00:00 a.txt"_s, u"2003/03/01 10:00:00 b.txt"_s}));
    }
    EXPECT_TRUE(entries(dir, u"csv"_s).isEmpty());
}

TEST(FileLister, AnUnreadableDirectorySaysWhy) {
    const Listing listing = ReadDir(-1, u"txt"_s);
    EXPECT_TRUE(listing.files.empty());
    EXPECT_EQ(listing.error, EBADF);
}

TEST(FileLister, ADirectoryOfManyFilesIsListedWholeOrOnlyWhatIsKept) {
    TempTree tree;
    const QString dir = tree.dir(u"many"_s);
    constexpr int kFiles = 20'000;  // past the slice read before it is sifted
    const QDateTime base = at(u"2003/03/01 10:00:00"_s);
    QStringList expected;
    for (int i = kFiles - 1; i >= 0; --i) {
        const QString name = u"f%1.log"_s.arg(i, 5, 10, QLatin1Char('0'));
        tree.file(u"many/"_s + name, "", base.addSecs(i / 2));  // pairs share a second
        if (i % 1000 == 7) {
            QFile::remove(dir + u'/' + name);
            QDir().mkdir(dir + u'/' + name);  // a directory of the same extension
            continue;
        }
        expected.prepend(stampText(base.addSecs(i / 2).toSecsSinceEpoch()) + u' ' + name);
    }
    EXPECT_EQ(entries(dir, u"log"_s), expected);
    // Only the older files, as a run lists them: the young are let go as they are read.
    const QString cutoff = dateTimeText(base.addSecs(1000));
    QStringList old;
    for (const QString& entry : expected) {
        if (entry.left(19) < cutoff) {
            old << entry;
        }
    }
    ASSERT_EQ(old.size(), 1998);
    EXPECT_EQ(entries(dir, u"log"_s, olderThan(cutoff)), old);
    EXPECT_TRUE(entries(dir, u"log"_s, olderThan(QString())).isEmpty());
}
