#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>

#include "disk/file_system.h"
#include "support/disk_entries.h"
#include "support/failing_file_system.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

const QDateTime kOld = at(u"2003/03/01 10:00:00"_s);

// Sets or clears the immutable flag; false where the file system, or the user, has none.
bool setImmutable(const QString& path, bool on) {
    const UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    int flags = 0;
    if (!fd.valid() || ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0) {
        return false;
    }
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    return ::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags) == 0;
}

}  // namespace

TEST(FileMove, MoveRenamesOrCopiesDurablyAcrossFileSystemsThenDeletes) {
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

TEST(FileMove, MoveOntoAnotherNameOfTheSameFileRemovesTheSourceName) {
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

TEST(FileMove, AMoveTakesOnlyTheFileItCheckedAndNoPlantedNameStopsIt) {
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

TEST(FileMove, AMoveAcrossFileSystemsWhoseCopyIsCutShortKeepsTheSourceWhole) {
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

// Between two file systems a move is a copy, then the source's removal: a source written to or
// replaced once its copy is written is left as it is, and so is one that cannot be removed;
// either way the copy goes again.
TEST(FileMove, AMoveAcrossFileSystemsRemovesOnlyWhatItCopied) {
    TempTree tree;
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    const QString pinned = tree.file(u"in/pinned.log"_s, "pinned", kOld);
    const bool immutable = setImmutable(pinned, true);  // root only
    const UniqueFd inFd = openDir(in);
    const UniqueFd outFd = openDir(out);
    FailingFileSystem fs;
    fs.renameAcrossDevices = true;
    const struct {
        const char* name;
        std::function<void(const QString& path)> afterCopy;  // another program, just then
        int error;
        QByteArray left;  // in the source folder; empty when it went
    } cases[] = {
        {"appended.log",
         [](const QString& path) {
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::Append));
             file.write(" and more");
         },
         ESTALE, "first part and more"},
        {"replaced.log",
         [&](const QString& path) {
             tree.file(u"in/new"_s, "new version", kOld);
             ASSERT_EQ(::rename(QFile::encodeName(in + u"/new"_s).constData(),
                                QFile::encodeName(path).constData()),
                       0);
         },
         ESTALE, "new version"},
        {"steady.log", [](const QString&) {}, 0, ""},
    };
    for (const auto& c : cases) {
        const QString path = tree.file(u"in/"_s + QString::fromLatin1(c.name),
                                       c.left.isEmpty() ? "steady" : "first part", kOld);
        fs.afterMoveCopy = [&](const char*) { c.afterCopy(path); };
        EXPECT_EQ(fs.moveFile(inFd.get(), c.name, statOf(path), outFd.get()).error, c.error)
            << c.name;
        EXPECT_EQ(QFile::exists(path) ? TempTree::read(path) : QByteArray(), c.left) << c.name;
    }
    fs.afterMoveCopy = nullptr;
    if (immutable) {
        EXPECT_FALSE(fs.moveFile(inFd.get(), "pinned.log", statOf(pinned), outFd.get()).ok());
        setImmutable(pinned, false);
        EXPECT_EQ(TempTree::read(pinned), "pinned");
    }
    EXPECT_EQ(names(out), QStringList{u"steady.log"_s});  // no copy of what stayed
    EXPECT_EQ(TempTree::read(out + u"/steady.log"_s), "steady");
    // Nothing of the move's own is left.
    EXPECT_EQ(names(in), (QStringList{u"appended.log"_s, u"pinned.log"_s, u"replaced.log"_s}));
}
