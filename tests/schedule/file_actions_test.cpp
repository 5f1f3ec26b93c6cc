#include "schedule/file_actions.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "support/failing_file_system.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

const QDateTime kOld = at(u"2003/03/01 10:00:00"_s);

QStringList names(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

}  // namespace

TEST(FileActions, CopyReplacesTheTargetKeepingTimeAndPermissions) {
    TempTree tree;
    const QString source = tree.file(u"in/a.txt"_s, "new content", kOld);
    ASSERT_TRUE(
        QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QString target = tree.file(u"out/a.txt"_s, "old", at(u"2010/01/01 00:00:00"_s));
    PosixFileSystem fs;

    ASSERT_TRUE(fs.copyFile(source, target, false).ok());
    EXPECT_EQ(TempTree::read(target), "new content");
    EXPECT_EQ(TempTree::mtime(target), kOld);
    EXPECT_EQ(QFileInfo(target).permissions(), QFileInfo(source).permissions());
    EXPECT_EQ(TempTree::read(source), "new content");
    EXPECT_EQ(names(tree.path(u"out"_s)), QStringList{u"a.txt"_s});  // no temporary left
}

TEST(FileActions, CopyReplacesALinkAtTheTargetInsteadOfWritingThroughIt) {
    TempTree tree;
    const QString source = tree.file(u"in/a.txt"_s, "data", kOld);
    const QString victim = tree.file(u"victim.txt"_s, "keep me", kOld);
    tree.dir(u"out"_s);
    ASSERT_TRUE(QFile::link(victim, tree.path(u"out/a.txt"_s)));
    PosixFileSystem fs;

    ASSERT_TRUE(fs.copyFile(source, tree.path(u"out/a.txt"_s), false).ok());
    EXPECT_EQ(TempTree::read(victim), "keep me");
    EXPECT_FALSE(QFileInfo(tree.path(u"out/a.txt"_s)).isSymLink());
    EXPECT_EQ(TempTree::read(tree.path(u"out/a.txt"_s)), "data");
}

TEST(FileActions, MoveWithinOneFileSystemRenames) {
    TempTree tree;
    const QString source = tree.file(u"in/a.txt"_s, "data", kOld);
    const QString target = tree.file(u"out/a.txt"_s, "older copy", kOld.addDays(9));
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(source).constData(), &before), 0);
    FailingFileSystem fs;

    ASSERT_TRUE(moveTo(fs, source, target).ok());
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);  // the same file, not a copy
    EXPECT_EQ(fs.durableCopies, 0);
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(TempTree::read(target), "data");
}

TEST(FileActions, MoveAcrossFileSystemsCopiesDurablyThenDeletes) {
    TempTree tree;
    struct stat here {};
    struct stat shm {};
    if (::stat(QFile::encodeName(tree.path()).constData(), &here) != 0 ||
        ::stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev) {
        GTEST_SKIP() << "/dev/shm is not another file system here";
    }
    QTemporaryDir other(u"/dev/shm/quillon-XXXXXX"_s);
    ASSERT_TRUE(other.isValid());
    const QString source = tree.file(u"in/a.txt"_s, "across", kOld);
    const QString target = other.filePath(u"a.txt"_s);
    FailingFileSystem fs;

    ASSERT_TRUE(moveTo(fs, source, target).ok());
    EXPECT_EQ(fs.durableCopies, 1);
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(TempTree::read(target), "across");
    EXPECT_EQ(TempTree::mtime(target), kOld);
}

TEST(FileActions, AFailedCopyNeverCostsTheSourceOrTheOldTarget) {
    TempTree tree;
    const QString source = tree.file(u"in/a.txt"_s, "source", kOld);
    const QString target = tree.file(u"out/a.txt"_s, "previous", kOld);
    FailingFileSystem fs;
    fs.failCopyOf.insert(source);
    fs.renameAcrossDevices = true;

    const FileResult moved = moveTo(fs, source, target);
    EXPECT_EQ(moved.error, ENOSPC);
    EXPECT_FALSE(moved.reason.isEmpty());
    EXPECT_EQ(TempTree::read(source), "source");
    EXPECT_EQ(TempTree::read(target), "previous");
    EXPECT_FALSE(fs.copyFile(source, target, false).ok());
    EXPECT_EQ(TempTree::read(target), "previous");

    // A source that vanished is reported, and nothing appears at the target.
    PosixFileSystem real;
    EXPECT_FALSE(
        real.copyFile(tree.path(u"in/gone.txt"_s), tree.path(u"out/gone.txt"_s), false).ok());
    EXPECT_EQ(names(tree.path(u"out"_s)), QStringList{u"a.txt"_s});
    EXPECT_FALSE(real.removeFile(tree.path(u"in/gone.txt"_s)).ok());
}
