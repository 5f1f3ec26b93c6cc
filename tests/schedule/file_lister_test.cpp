#include "schedule/file_lister.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "schedule/folder_checker.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

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

    const Listing listing = ReadDir(dir, u"txt"_s);
    EXPECT_TRUE(listing.error.isEmpty());
    EXPECT_EQ(listing.entries,
              (QStringList{u"2001/01/02 03:04:05 old.TXT"_s, u"2002/06/30 23:59:59 it's 日本.Txt"_s,
                           u"2003/03/01 10:00:00 a.txt"_s, u"2003/03/01 10:00:00 b.txt"_s}));
    EXPECT_TRUE(ReadDir(dir, u"csv"_s).entries.isEmpty());
}

TEST(FileLister, AnUnreadableDirectorySaysWhy) {
    TempTree tree;
    const Listing listing = ReadDir(tree.path(u"missing"_s), u"txt"_s);
    EXPECT_TRUE(listing.entries.isEmpty());
    EXPECT_FALSE(listing.error.isEmpty());
}

TEST(FolderChecker, TrueExactlyForDirectories) {
    TempTree tree;
    EXPECT_TRUE(FolderExists(tree.dir(u"d"_s)));
    EXPECT_TRUE(FolderExists(tree.path(u"d/"_s)));
    EXPECT_FALSE(FolderExists(tree.file(u"f"_s, "", at(u"2003/01/01 00:00:00"_s))));
    EXPECT_FALSE(FolderExists(tree.path(u"none"_s)));
    EXPECT_FALSE(FolderExists(QString()));
}
