#include "disk/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <tuple>

#include "disk/copy_temporaries.h"
#include "disk/unique_fd.h"
#include "support/failing_file_system.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

const QDateTime kOld = at(u"2003/03/01 10:00:00"_s);

QStringList names(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

UniqueFd openDir(const QString& path) {
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    EXPECT_TRUE(fd.valid()) << path.toStdString();
    return fd;
}

struct stat statOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info;
}

}  // namespace

TEST(FileSystem, CopyReplacesTheTargetKeepingTimeAndPermissionsAndNeverWritesThroughALink) {
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

TEST(FileSystem, MoveRenamesOrCopiesDurablyAcrossFileSystemsThenDeletes) {
    TempTree tree;
    const QString source = tree.file(u"in/a.txt"_s, "data", kOld);
    const QString target = tree.file(u"out/a.txt"_s, "older copy", kOld.addDays(9));
    const struct stat before = statOf(source);
    const UniqueFd in = openDir(tree.path(u"in"_s));
    const UniqueFd out = openDir(tree.path(u"out"_s));
    FailingFileSystem fs;

    ASSERT_TRUE(fs.moveFile(in.get(), "a.txt", before, out.get()).ok());
    EXPECT_EQ(statOf(target).st_ino, before.st_ino);  // the same file, not a copy
    EXPECT_EQ(fs.movesAcross, 0);
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(TempTree::read(target), "data");

    // Between two file systems, as the disk would answer.
    tree.file(u"in/b.txt"_s, "across", kOld);
    fs.renameAcrossDevices = true;
    ASSERT_TRUE(fs.moveFile(in.get(), "b.txt", statOf(tree.path(u"in/b.txt"_s)), out.get()).ok());
    EXPECT_EQ(fs.movesAcross, 1);
    EXPECT_FALSE(QFile::exists(tree.path(u"in/b.txt"_s)));
    EXPECT_EQ(TempTree::read(tree.path(u"out/b.txt"_s)), "across");
    EXPECT_EQ(TempTree::mtime(tree.path(u"out/b.txt"_s)), kOld);
}

TEST(FileSystem, MoveOntoAnotherNameOfTheSameFileRemovesTheSourceName) {
    TempTree tree;
    const QString source = tree.file(u"in/a.txt"_s, "one file", kOld);
    tree.dir(u"out"_s);
    ASSERT_EQ(::link(QFile::encodeName(source).constData(),
                     QFile::encodeName(tree.path(u"out/a.txt"_s)).constData()),
              0);
    const UniqueFd in = openDir(tree.path(u"in"_s));
    const UniqueFd out = openDir(tree.path(u"out"_s));
    PosixFileSystem fs;

    ASSERT_TRUE(fs.moveFile(in.get(), "a.txt", statOf(source), out.get()).ok());
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(TempTree::read(tree.path(u"out/a.txt"_s)), "one file");
    EXPECT_EQ(statOf(tree.path(u"out/a.txt"_s)).st_nlink, 1u);
}

TEST(FileSystem, AFailedCopyNeverCostsTheSourceOrTheOldTarget) {
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

TEST(FileSystem, OnlyTheTemporariesOfDeadWritersAreRemoved) {
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

TEST(FileSystem, AMoveTakesOnlyTheFileItCheckedAndNoPlantedNameStopsIt) {
    TempTree tree;
    const QString source = tree.file(u"in/f0.log"_s, "old data", kOld);
    const QString folder = tree.dir(u"in/theirs"_s);
    const QString out = tree.dir(u"out"_s);
    const UniqueFd inFd = openDir(tree.path(u"in"_s));
    const UniqueFd outFd = openDir(out);
    FailingFileSystem fs;

    // Between the check and the rename, another user swaps a folder of theirs in for the file.
    fs.beforeRename = [&](const char*) {
        ASSERT_EQ(::renameat2(AT_FDCWD, QFile::encodeName(source).constData(), AT_FDCWD,
                              QFile::encodeName(folder).constData(), RENAME_EXCHANGE),
                  0);
    };
    EXPECT_EQ(fs.moveFile(inFd.get(), "f0.log", statOf(source), outFd.get()).error, ESTALE);
    EXPECT_FALSE(QFileInfo::exists(out + u"/f0.log"_s));  // no folder stays in the destination
    EXPECT_TRUE(QFileInfo(source).isDir());               // it went back to its own name
    EXPECT_EQ(TempTree::read(folder), "old data");
    // Swapped back where a file of that name stands already: the rename is refused, and the
    // file checked was never what it met, so it is skipped, not failed.
    tree.file(u"out/theirs"_s, "kept", kOld);
    EXPECT_EQ(fs.moveFile(inFd.get(), "theirs", statOf(folder), outFd.get()).error, ESTALE);
    EXPECT_EQ(TempTree::read(out + u"/theirs"_s), "kept");
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(TempTree::read(source), "old data");

    // Entries under the names the run gives its claims and temporaries cost nothing: its own
    // names cannot be known in advance.
    fs.beforeRename = nullptr;
    fs.renameAcrossDevices = true;
    QStringList planted;
    for (int i = 0; i < 100; ++i) {
        const QString random = QString::number(i, 36).rightJustified(12, u'0');
        planted << tree.file(u"in/.quillon-move-"_s + random + u"0000"_s, "planted", kOld)
                << tree.file(u"out/.quillon-copy-"_s + random, "planted", kOld);
    }
    const QString moved = tree.file(u"in/moved.log"_s, "moved", kOld);
    const QString copied = tree.file(u"in/copied.log"_s, "copied", kOld);
    EXPECT_TRUE(fs.moveFile(inFd.get(), "moved.log", statOf(moved), outFd.get()).ok());
    EXPECT_TRUE(fs.copyFile(inFd.get(), "copied.log", statOf(copied), outFd.get()).ok());
    EXPECT_EQ(TempTree::read(out + u"/moved.log"_s), "moved");
    EXPECT_EQ(TempTree::read(out + u"/copied.log"_s), "copied");
    EXPECT_FALSE(QFileInfo::exists(moved));
    for (const QString& path : planted) {
        EXPECT_EQ(TempTree::read(path), "planted");
    }
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

TEST(FileSystem, ACopyGrantsNobodyMoreThanItsSourceWhateverTheFoldersDefaultAcl) {
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

TEST(FileSystem, AMoveAcrossFileSystemsWhoseCopyIsCutShortKeepsTheSourceWhole) {
    TempTree tree;
    const QByteArray big(4 << 20, 'b');
    const QString source = tree.file(u"in/big.log"_s, big, kOld);
    const QString out = tree.dir(u"out"_s);
    const UniqueFd inFd = openDir(tree.path(u"in"_s));
    const UniqueFd outFd = openDir(out);
    // The real copy fails part-way, as on a full disk: no write may pass 1 MiB.
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &size);
        FailingFileSystem fs;
        fs.renameAcrossDevices = true;
        _exit(fs.moveFile(inFd.get(), "big.log", statOf(source), outFd.get()).error == EFBIG ? 0
                                                                                             : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(TempTree::read(source), big);
    EXPECT_TRUE(names(out).isEmpty());  // neither a cut-off copy nor its temporary
}
