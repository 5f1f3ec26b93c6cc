#include "disk/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <tuple>

#include "disk/copy_temporaries.h"
#include "disk/unique_fd.h"
#include "support/as_other_user.h"
#include "support/disk_entries.h"
#include "support/failing_file_system.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

const QDateTime kOld = at(u"2003/03/01 10:00:00"_s);

}  // namespace

TEST(FileCopy, CopyReplacesTheTargetKeepingTimeAndPermissionsAndNeverWritesThroughALink) {
    TempTree tree;
    const QString source = tree.file(u"in/a.txt"_s, "new content", kOld);
    tree.file(u"in/b.txt"_s, "data", kOld);
    ASSERT_TRUE(
        QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QString target = tree.file(u"out/a.txt"_s, "old", at(u"2010/01/01 00:00:00"_s));
    const QString victim = tree.file(u"victim.txt"_s, "keep me", kOld);
    ASSERT_TRUE(QFile::link(victim, tree.path(u"out/b.txt"_s)));
    const UniqueFd in = openDir(tree.path(u"in"_s));
    const UniqueFd out = openDir(tree.path(u"out"_s));
    PosixFileSystem fs;

    ASSERT_TRUE(fs.copyFile(in.get(), "a.txt", statOf(source), out.get()).ok());
    EXPECT_EQ(TempTree::read(target), "new content");
    EXPECT_EQ(TempTree::mtime(target), kOld);
    EXPECT_EQ(QFileInfo(target).permissions(), QFileInfo(source).permissions());
    EXPECT_EQ(TempTree::read(source), "new content");

    ASSERT_TRUE(fs.copyFile(in.get(), "b.txt", statOf(tree.path(u"in/b.txt"_s)), out.get()).ok());
    EXPECT_EQ(TempTree::read(victim), "keep me");
    EXPECT_FALSE(QFileInfo(tree.path(u"out/b.txt"_s)).isSymLink());
    EXPECT_EQ(TempTree::read(tree.path(u"out/b.txt"_s)), "data");
    EXPECT_EQ(names(tree.path(u"out"_s)), (QStringList{u"a.txt"_s, u"b.txt"_s}));  // no temporary

    // A file replaced since it was checked is not copied. The old one is kept aside, so the
    // new one cannot be given its inode.
    const struct stat checked = statOf(source);
    ASSERT_TRUE(QFile::rename(source, tree.path(u"aside"_s)));
    tree.file(u"in/a.txt"_s, "impostor", kOld);
    EXPECT_EQ(fs.copyFile(in.get(), "a.txt", checked, out.get()).error, ESTALE);
    EXPECT_EQ(TempTree::read(target), "new content");
}

TEST(FileCopy, AFailedCopyNeverCostsTheSourceOrTheOldTarget) {
    TempTree tree;
    const QString source = tree.file(u"in/a.txt"_s, "source", kOld);
    const QString target = tree.file(u"out/a.txt"_s, "previous", kOld);
    const UniqueFd in = openDir(tree.path(u"in"_s));
    const UniqueFd out = openDir(tree.path(u"out"_s));
    FailingFileSystem fs;
    fs.failCopyOf.insert("a.txt");
    fs.renameAcrossDevices = true;

    const FileResult moved = fs.moveFile(in.get(), "a.txt", statOf(source), out.get());
    EXPECT_EQ(moved.error, ENOSPC);
    EXPECT_FALSE(moved.reason.isEmpty());
    EXPECT_EQ(TempTree::read(source), "source");
    EXPECT_EQ(TempTree::read(target), "previous");

    // A source that vanished is reported, and nothing appears at the target.
    PosixFileSystem real;
    EXPECT_EQ(real.copyFile(in.get(), "gone.txt", statOf(source), out.get()).error, ENOENT);
    EXPECT_EQ(names(tree.path(u"out"_s)), QStringList{u"a.txt"_s});
    EXPECT_EQ(real.removeFile(in.get(), "gone.txt").error, ENOENT);
}

TEST(FileCopy, OnlyTheTemporariesOfDeadWritersAreRemoved) {
    TempTree tree;
    const QString out = tree.dir(u"out"_s);
    tree.file(u"out/.quillon-copy-dead01dead01"_s, "killed mid-copy", kOld);
    const QString live = tree.file(u"out/.quillon-copy-live01live01"_s, "being written", kOld);
    tree.file(u"out/.quillon-copy-notes"_s, "", kOld);  // a user's own file, not in our format
    tree.file(u"out/.quillon-copy-notes.txt"_s, "", kOld);
    tree.file(u"out/.quillon-cop"_s, "not ours", kOld);
    // Another user's file under a name of our format, in a folder both write into, is theirs.
    const QString theirs = tree.file(u"out/.quillon-copy-theirs000000"_s, "theirs", kOld);
    const bool otherOwner =
        ::geteuid() == 0 && ::chown(QFile::encodeName(theirs).constData(), 65534, 65534) == 0;
    tree.file(u"out/keep.txt"_s, "user data", kOld);
    tree.dir(u"out/.quillon-copy-dir"_s);
    const QString victim = tree.file(u"victim"_s, "behind a link", kOld);
    ASSERT_TRUE(QFile::link(victim, out + u"/.quillon-copy-link"_s));
    // A live writer holds its lock, here through a descriptor of its own.
    const UniqueFd writer(::open(QFile::encodeName(live).constData(), O_RDONLY));
    ASSERT_EQ(::flock(writer.get(), LOCK_EX), 0);
    const UniqueFd dir = openDir(out);

    {
        const CopyTemporary inFlight(dir.get());  // this process's own copy, under way
        ASSERT_TRUE(inFlight.valid());
        removeDeadTemporaries(dir.get());
        EXPECT_EQ(names(out).size(), otherOwner ? 8 : 7);  // the in-flight one is still there
    }
    QStringList left{
        u".quillon-cop"_s,        u".quillon-copy-link"_s,      u".quillon-copy-live01live01"_s,
        u".quillon-copy-notes"_s, u".quillon-copy-notes.txt"_s, u"keep.txt"_s};
    if (otherOwner) {
        left.insert(5, u".quillon-copy-theirs000000"_s);
    }
    EXPECT_EQ(names(out), left);
    EXPECT_TRUE(QFileInfo(out + u"/.quillon-copy-dir"_s).isDir());
    EXPECT_EQ(TempTree::read(victim), "behind a link");
}

namespace {

// A POSIX ACL in the kernel's extended attribute form: (tag, permissions, id) entries, sorted.
QByteArray aclValue(std::initializer_list<std::tuple<quint16, quint16, quint32>> entries) {
    QByteArray value;
    const auto put = [&value](auto number) {
        value.append(reinterpret_cast<const char*>(&number), sizeof number);
    };
    put(quint32{2});
    for (const auto& [tag, permissions, id] : entries) {
        put(tag);
        put(permissions);
        put(id);
    }
    return value;
}

constexpr quint32 kNoId = 0xFFFFFFFF;

QByteArray accessAcl(const QString& path) {
    QByteArray value(256, '\0');
    const ssize_t size = ::getxattr(QFile::encodeName(path).constData(), "system.posix_acl_access",
                                    value.data(), static_cast<size_t>(value.size()));
    return size < 0 ? QByteArray() : value.left(size);
}

}  // namespace

TEST(FileCopy, ACopyGrantsNobodyMoreThanItsSourceWhateverTheFoldersDefaultAcl) {
    TempTree tree;
    const QString out = tree.dir(u"out"_s);
    // The destination's owner would have every new file readable by user 65534.
    const QByteArray inherited = aclValue(
        {{0x01, 7, kNoId}, {0x02, 7, 65534}, {0x04, 5, kNoId}, {0x10, 7, kNoId}, {0x20, 0, kNoId}});
    if (::setxattr(QFile::encodeName(out).constData(), "system.posix_acl_default",
                   inherited.constData(), static_cast<size_t>(inherited.size()), 0) != 0) {
        GTEST_SKIP() << "this file system keeps no ACLs";
    }
    const QString plain = tree.file(u"in/plain.csv"_s, "pay", kOld);
    ASSERT_EQ(::chmod(QFile::encodeName(plain).constData(), 0640), 0);
    const QString shared = tree.file(u"in/shared.csv"_s, "shared", kOld);
    const QByteArray own = aclValue(
        {{0x01, 6, kNoId}, {0x02, 4, 65533}, {0x04, 4, kNoId}, {0x10, 4, kNoId}, {0x20, 0, kNoId}});
    ASSERT_EQ(::setxattr(QFile::encodeName(shared).constData(), "system.posix_acl_access",
                         own.constData(), static_cast<size_t>(own.size()), 0),
              0);
    const UniqueFd inFd = openDir(tree.path(u"in"_s));
    const UniqueFd outFd = openDir(out);
    FailingFileSystem fs;

    for (const bool across : {false, true}) {  // a copy, and a move across file systems
        fs.renameAcrossDevices = across;
        for (const QString& name : {u"plain.csv"_s, u"shared.csv"_s}) {
            const QString path = tree.path(u"in/"_s + name);
            const QByteArray wanted = accessAcl(path);
            const struct stat info = statOf(path);
            const QByteArray bytes = QFile::encodeName(name);
            const FileResult result =
                across ? fs.moveFile(inFd.get(), bytes.constData(), info, outFd.get())
                       : fs.copyFile(inFd.get(), bytes.constData(), info, outFd.get());
            ASSERT_TRUE(result.ok()) << result.reason.toStdString();
            EXPECT_EQ(accessAcl(out + u'/' + name), wanted) << name.toStdString() << across;
            EXPECT_EQ(statOf(out + u'/' + name).st_mode & 07777, info.st_mode & 07777);
            if (across) {
                continue;
            }
            ASSERT_EQ(::unlink(QFile::encodeName(out + u'/' + name).constData()), 0);
        }
    }
}

TEST(FileCopy, ASparseFileIsCopiedWithItsHoles) {
    TempTree tree;
    const QString out = tree.dir(u"out"_s);
    const QString sparse = tree.file(u"in/disk.img"_s, "", kOld);
    constexpr off_t kSize = 60 << 20;
    {
        const UniqueFd fd(::open(QFile::encodeName(sparse).constData(), O_WRONLY | O_CLOEXEC));
        ASSERT_EQ(::pwrite(fd.get(), "head", 4, 0), 4);
        ASSERT_EQ(::pwrite(fd.get(), "middle", 6, 30 << 20), 6);
        ASSERT_EQ(::ftruncate(fd.get(), kSize), 0);
    }
    if (statOf(sparse).st_blocks * 512 >= kSize) {
        GTEST_SKIP() << "this file system keeps no holes";
    }
    const UniqueFd inFd = openDir(tree.path(u"in"_s));
    const UniqueFd outFd = openDir(out);
    PosixFileSystem fs;

    ASSERT_TRUE(fs.copyFile(inFd.get(), "disk.img", statOf(sparse), outFd.get()).ok());
    const struct stat copy = statOf(out + u"/disk.img"_s);
    EXPECT_EQ(copy.st_size, kSize);
    EXPECT_LE(copy.st_blocks * 512, statOf(sparse).st_blocks * 512 + (64 << 10));
    EXPECT_EQ(TempTree::read(out + u"/disk.img"_s), TempTree::read(sparse));
}

namespace {

// Another user's set-user-ID program: root's own, made in `folder` when the test is root (and
// then copied as nobody), or one the system has; empty when there is none.
QString anotherUsersProgram(const QString& folder) {
    if (::geteuid() == 0) {
        const QString program = folder + u"/program.bin"_s;
        QFile file(program);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write("root's") == 6);
        file.close();
        EXPECT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
        EXPECT_EQ(::chmod(QFile::encodeName(program).constData(), 06755), 0);
        return program;
    }
    for (const char* path : {"/usr/bin/passwd", "/usr/bin/su", "/bin/su", "/usr/bin/newgrp"}) {
        struct stat info {};
        if (::stat(path, &info) == 0 && (info.st_mode & S_ISUID) != 0 &&
            info.st_uid != ::geteuid() && ::access(path, R_OK) == 0) {
            return QString::fromLatin1(path);
        }
    }
    return {};
}

}  // namespace

// A user who copies another's program gets a program of their own, without the set-ID bits:
// nobody gains rights through a copy.
TEST(FileCopy, AUsersCopyOfAnotherUsersProgramLosesItsSetIdBits) {
    QTemporaryDir programs;
    const QString program = anotherUsersProgram(programs.path());
    if (program.isEmpty()) {
        GTEST_SKIP() << "no set-user-ID program of another user here";
    }
    {
        TempTree theirs;
        const QString out = theirs.dir(u"out"_s);
        EXPECT_TRUE(asOtherUser(theirs.path(), [&] {
            const QFileInfo info(program);
            const UniqueFd inFd = openDir(info.absolutePath());
            const UniqueFd outFd = openDir(out);
            PosixFileSystem fs;
            const QByteArray name = QFile::encodeName(info.fileName());
            ASSERT_TRUE(
                fs.copyFile(inFd.get(), name.constData(), statOf(program), outFd.get()).ok());
            const struct stat copy = statOf(out + u'/' + info.fileName());
            EXPECT_EQ(copy.st_uid, ::geteuid());  // the copy is the user's own
            EXPECT_EQ(copy.st_mode & 07777, statOf(program).st_mode & 0777);
        }));
    }
}

// A copy, and a move across file systems, keeps its source's owner, group and mode.
TEST(FileCopy, RootsCopiesKeepTheirSourcesOwner) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "keeping another user's ownership needs root";
    }
    constexpr uid_t kNobody = 65534;
    TempTree tree;
    const QString out = tree.dir(u"out"_s);
    const struct {
        const char* name;
        uid_t owner;
        mode_t mode;
    } files[] = {{"shell.bin", kNobody, 06755}, {"own.bin", 0, 04750}};
    const UniqueFd inFd = openDir(tree.dir(u"in"_s));
    const UniqueFd outFd = openDir(out);
    FailingFileSystem fs;
    for (const bool across : {false, true}) {  // a copy, and a move across file systems
        fs.renameAcrossDevices = across;
        for (const auto& file : files) {
            const QString path =
                tree.file(u"in/"_s + QString::fromLatin1(file.name), "#!/bin/sh\n", kOld);
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), file.owner, file.owner), 0);
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), file.mode), 0);
            const FileResult result =
                across ? fs.moveFile(inFd.get(), file.name, statOf(path), outFd.get())
                       : fs.copyFile(inFd.get(), file.name, statOf(path), outFd.get());
            ASSERT_TRUE(result.ok()) << result.reason.toStdString();
            const struct stat copy = statOf(out + u'/' + QString::fromLatin1(file.name));
            EXPECT_EQ(copy.st_uid, file.owner) << file.name << across;
            EXPECT_EQ(copy.st_gid, file.owner) << file.name << across;
            EXPECT_EQ(copy.st_mode & 07777, file.mode) << file.name << across;
        }
    }
}
