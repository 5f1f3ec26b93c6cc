// Root running on folders that other users write into: nothing another user puts there may
// gain rights, redirect the run, or be lost.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "run/maintenance_run.h"
#include "run/run_notice.h"
#include "storage/connection.h"
#include "support/as_other_user.h"
#include "support/failing_file_system.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

constexpr uid_t kNobody = 65534;
const QString kRun = u"2003/03/29 09:05:07"_s;
const QDateTime kOld = at(u"2003/03/01 10:00:00"_s);

struct stat statOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info;
}

void give(const QString& path, uid_t owner, mode_t mode = 0) {
    ASSERT_EQ(::lchown(QFile::encodeName(path).constData(), owner, owner), 0);
    if (mode != 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
    }
}

class SharedFolderTest : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "acting as root among other users needs root";
        }
    }
    RunOutcome run() {
        MaintenanceRun maintenance(tree.values(), fs);
        maintenance.setBatchSize(2);
        return maintenance.EXEC_DEL(at(kRun), u"30"_s);
    }

    TempTree tree;
    FailingFileSystem fs;
};

// Sets or clears the immutable flag; false where the file system has none.
bool setImmutable(const QString& path, bool on) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return done;
}

}  // namespace

TEST_F(SharedFolderTest, CopiesAndMovesKeepTheOwnerOrLoseTheSetIdBits) {
    const QString in = tree.dir(u"in"_s);
    const QString copies = tree.dir(u"copies"_s);
    const QString moves = tree.dir(u"moves"_s);
    for (const QString& name : {u"shell.bin"_s, u"moved.bin"_s}) {
        give(tree.file(u"in/"_s + name, "#!/bin/sh\n", kOld), kNobody, 06755);
    }
    const QString own = tree.file(u"in/own.bin"_s, "root's own", kOld);
    give(own, 0, 04750);
    tree.addRule({u"001"_s, in, copies, u"bin"_s, u"7"_s, u"複写"_s});
    tree.addRule({u"002"_s, in, moves, u"bin"_s, u"7"_s, u"移動"_s});
    fs.renameAcrossDevices = true;  // the move goes through a copy, as from tmpfs to disk

    ASSERT_TRUE(run().failures.isEmpty());
    EXPECT_EQ(fs.movesAcross, 3);
    for (const QString& copy : {copies + u"/shell.bin"_s, moves + u"/shell.bin"_s,
                                copies + u"/moved.bin"_s, moves + u"/moved.bin"_s}) {
        const struct stat info = statOf(copy);
        EXPECT_EQ(info.st_uid, kNobody) << copy.toStdString();  // its rights are nobody's
        EXPECT_EQ(info.st_gid, kNobody) << copy.toStdString();
        EXPECT_EQ(info.st_mode & 07777, 06755u) << copy.toStdString();
    }
    EXPECT_EQ(statOf(moves + u"/own.bin"_s).st_uid, 0u);
    EXPECT_EQ(statOf(moves + u"/own.bin"_s).st_mode & 07777, 04750u);

    // A user copying root's set-user-ID program gets a program of their own, without the bit.
    QTemporaryDir rootOnly;
    give(rootOnly.path(), 0, 0755);
    const QString program = rootOnly.filePath(u"program.bin"_s);
    tree.file(u"../"_s + QDir(rootOnly.path()).dirName() + u"/program.bin"_s, "root's", kOld);
    give(program, 0, 06755);
    TempTree users;
    const QString theirs = users.dir(u"copies"_s);
    users.addRule({u"001"_s, rootOnly.path(), theirs, u"bin"_s, u"7"_s, u"複写"_s});
    EXPECT_TRUE(asOtherUser(users.path(), [&] {
        PosixFileSystem real;
        const RunOutcome outcome = MaintenanceRun(users.values(), real).EXEC_DEL(at(kRun), u"30"_s);
        EXPECT_TRUE(outcome.failures.isEmpty() && outcome.storageError.isEmpty())
            << outcome.storageError.toStdString();
        const struct stat copy = statOf(theirs + u"/program.bin"_s);
        EXPECT_EQ(copy.st_uid, kNobody);
        EXPECT_EQ(copy.st_mode & 07777, 0755u);
    }));
}

TEST_F(SharedFolderTest, ASparseFileIsCopiedWithItsHoles) {
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    const QString sparse = tree.file(u"in/disk.img"_s, "", kOld);
    constexpr off_t kSize = 60 << 20;
    {
        const int fd = ::open(QFile::encodeName(sparse).constData(), O_WRONLY | O_CLOEXEC);
        ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
        ASSERT_EQ(::pwrite(fd, "middle", 6, 30 << 20), 6);
        ASSERT_EQ(::ftruncate(fd, kSize), 0);
        ::close(fd);
    }
    const struct timespec times[2] = {{kOld.toSecsSinceEpoch(), 0}, {kOld.toSecsSinceEpoch(), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(sparse).constData(), times, 0), 0);
    if (statOf(sparse).st_blocks * 512 >= kSize) {
        GTEST_SKIP() << "this file system keeps no holes";
    }
    tree.addRule({u"001"_s, in, out, u"img"_s, u"7"_s, u"複写"_s});

    ASSERT_TRUE(run().failures.isEmpty());
    const struct stat copy = statOf(out + u"/disk.img"_s);
    EXPECT_EQ(copy.st_size, kSize);
    EXPECT_LE(copy.st_blocks * 512, statOf(sparse).st_blocks * 512 + (64 << 10));
    EXPECT_EQ(TempTree::read(out + u"/disk.img"_s), TempTree::read(sparse));
}

TEST_F(SharedFolderTest, AMoveAcrossFileSystemsRemovesOnlyWhatItCopied) {
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    tree.file(u"in/appended.log"_s, "first part", kOld);
    tree.file(u"in/replaced.log"_s, "old version", kOld);
    tree.file(u"in/steady.log"_s, "steady", kOld);
    const QString immutable = tree.file(u"in/pinned.log"_s, "pinned", kOld);
    const bool pinned = setImmutable(immutable, true);
    tree.addRule({u"001"_s, in, out, u"log"_s, u"7"_s, u"移動"_s});
    fs.renameAcrossDevices = true;
    // Another program acts just after each copy is written.
    fs.afterMoveCopy = [&](const char* name) {
        const QString path = in + u'/' + QString::fromUtf8(name);
        if (qstrcmp(name, "appended.log") == 0) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::Append));
            file.write(" and more");
        } else if (qstrcmp(name, "replaced.log") == 0) {
            tree.file(u"in/new"_s, "new version", kOld);
            ASSERT_EQ(::rename(QFile::encodeName(in + u"/new"_s).constData(),
                               QFile::encodeName(path).constData()),
                      0);
        }
    };

    const RunOutcome outcome = run();
    EXPECT_EQ(outcome.skippedFiles, 2);
    EXPECT_EQ(TempTree::read(in + u"/appended.log"_s), "first part and more");
    EXPECT_EQ(TempTree::read(in + u"/replaced.log"_s), "new version");
    EXPECT_FALSE(QFile::exists(in + u"/steady.log"_s));
    EXPECT_EQ(TempTree::read(out + u"/steady.log"_s), "steady");
    QStringList expectedOut{u"steady.log"_s};
    QList<QStringList> expectedRows{
        {in + u"/steady.log"_s, u"2003/03/01 10:00:00"_s, u"移動"_s, kRun}};
    if (pinned) {
        // The source cannot be claimed: it stays, once, and the copy goes.
        setImmutable(immutable, false);
        EXPECT_EQ(outcome.failures.size(), 1);
        EXPECT_EQ(TempTree::read(immutable), "pinned");
        expectedRows.prepend({immutable, u"2003/03/01 10:00:00"_s, u"移動失敗"_s, kRun});
    }
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), expectedOut);
    EXPECT_EQ(QDir(in).entryList(QDir::Files | QDir::Hidden).size(), pinned ? 3 : 2);
    EXPECT_EQ(tree.logRows(), expectedRows);
}

TEST_F(SharedFolderTest, AFolderOfAnotherUserNeverLeadsTheRunWhereTheyCouldNotGo) {
    const QString secret = tree.dir(u"secret"_s);
    const QString kept = tree.file(u"secret/keep.log"_s, "root only", kOld);
    const QString share = tree.dir(u"share"_s);
    give(share, kNobody, 0755);
    const QString theirs = tree.dir(u"share/theirs"_s);
    give(tree.file(u"share/theirs/old.log"_s, "theirs", kOld), kNobody);
    give(theirs, kNobody);
    const auto link = [&](const QString& name, const QString& target, uid_t owner) {
        const QString path = tree.path(name);
        EXPECT_TRUE(QFile::link(target, path));
        give(path, owner);
        return path;
    };
    // A folder everybody may write into, root's own, as the system's temporary folder is.
    give(tree.dir(u"tmp"_s), 0, 01777);
    const struct {
        QString source;
        bool refused;
    } cases[] = {
        {link(u"share/logs"_s, secret, kNobody), true},        // their link out of their folder
        {link(u"share/up"_s, u"../secret"_s, kNobody), true},  // the same, relative
        {link(u"tmp/abs"_s, secret, kNobody), true},           // their link in root's folder
        {link(u"tmp/rel"_s, u"../secret"_s, kNobody), true},   // the same, relative
        {link(u"tmp/hop"_s, u".."_s, kNobody) + u"/secret"_s, true},  // as an inner step
        {theirs, false},                                              // their own folder
        {link(u"root-link"_s, theirs, 0), false},                     // root's link into theirs
        {link(u"tmp/root-rel"_s, u"../share/theirs"_s, 0), false},    // root's, in the shared one
    };
    for (const auto& c : cases) {
        tree.file(u"share/theirs/old.log"_s, "theirs", kOld);
        Connection(tree.values()).Execute(u"DELETE FROM sweeprun"_s);
        tree.addRule({u"003"_s, c.source, u""_s, u"log"_s, u"7"_s, u"削除"_s});
        const RunOutcome outcome = run();
        EXPECT_EQ(outcome.unsafeDirectory, c.refused) << c.source.toStdString();
        EXPECT_EQ(
            directoryStopMessage(outcome),
            c.refused
                ? u"順序　003　の　"_s + c.source +
                      u" は他のユーザーが差し替えられる場所にあります。正しく設定を行なってください"_s
                : QString());
        EXPECT_EQ(QFile::exists(theirs + u"/old.log"_s), c.refused) << c.source.toStdString();
        EXPECT_TRUE(QFile::exists(kept));
    }
    // A destination is reached the same way.
    for (const QString& destination : {u"share/logs"_s, u"tmp/rel"_s, u"tmp/hop/secret"_s}) {
        Connection(tree.values()).Execute(u"DELETE FROM sweeprun"_s);
        tree.addRule({u"001"_s, theirs, tree.path(destination), u"log"_s, u"7"_s, u"移動"_s});
        EXPECT_TRUE(run().unsafeDirectory) << destination.toStdString();
        EXPECT_EQ(QDir(secret).entryList(QDir::Files), QStringList{u"keep.log"_s});
    }
}

TEST_F(SharedFolderTest, AnotherUsersFileAtTheTargetIsNeverReplacedNorTheirForgeryTrusted) {
    constexpr uid_t kVictim = 65533;
    constexpr uid_t kAttacker = kNobody;
    const QString in = tree.dir(u"in"_s);
    const QString archive = tree.dir(u"archive"_s);
    give(in, 0, 01777);
    give(archive, 0, 01777);
    const auto owned = [&](const QString& relative, const QByteArray& content, uid_t owner,
                           mode_t mode) {
        const QString path = tree.file(relative, content, kOld);
        give(path, owner, mode);
        return path;
    };
    const struct {
        const char* what;
        QString process;
        uid_t sourceOwner, targetOwner;
        mode_t targetMode;
        QByteArray targetContent;
        bool replaced;
    } cases[] = {
        // The attacker's old file of the victim's name, planted in the source.
        {"planted over the victim's", kMoveProcess, kAttacker, kVictim, 0600, "victim's", false},
        {"planted, copied", kCopyProcess, kAttacker, kVictim, 0600, "victim's", false},
        // The victim's own file replaces the victim's own.
        {"the same user's", kMoveProcess, kVictim, kVictim, 0600, "older", true},
        // Same size and time as the victim's source, but the attacker's: no copy at all.
        {"a forged copy", kCopyProcess, kVictim, kAttacker, 0600, "FORGED!!", false},
        // The victim's own, of another mode: not what the copy would give, so written again.
        {"the victim's, other mode", kCopyProcess, kVictim, kVictim, 0644, "STALE!!!", true},
    };
    for (const auto& c : cases) {
        Connection(tree.values()).Execute(u"DELETE FROM sweeprun"_s);
        const QString source = owned(u"in/pay.csv"_s, "payroll", c.sourceOwner, 0600);
        const QString target =
            owned(u"archive/pay.csv"_s, c.targetContent.leftJustified(7, '.', true), c.targetOwner,
                  c.targetMode);
        tree.addRule({u"001"_s, in, archive, u"csv"_s, u"7"_s, c.process});
        // A chain: what the copy left is deleted next, but never a file whose copy failed.
        tree.addRule({u"002"_s, in, u""_s, u"csv"_s, u"7"_s, kDeleteProcess});

        const RunOutcome outcome = run();
        EXPECT_EQ(TempTree::read(target) == "payroll", c.replaced) << c.what;
        EXPECT_EQ(statOf(target).st_uid, c.replaced ? c.sourceOwner : c.targetOwner) << c.what;
        if (c.replaced) {
            EXPECT_TRUE(outcome.failures.isEmpty()) << c.what;
            EXPECT_FALSE(QFile::exists(source)) << c.what;
            EXPECT_EQ(statOf(target).st_mode & 07777, 0600u) << c.what;
        } else {
            ASSERT_EQ(outcome.failures.size(), 1) << c.what;
            EXPECT_EQ(outcome.failures[0].message(),
                      source + u" の処理に失敗しました（先に別のユーザーのファイルがあります）"_s);
            EXPECT_EQ(TempTree::read(source), "payroll") << c.what;  // held from rule 002
            EXPECT_EQ(outcome.heldFiles, 1) << c.what;
        }
        ::unlink(QFile::encodeName(source).constData());
        ::unlink(QFile::encodeName(target).constData());
    }
}
