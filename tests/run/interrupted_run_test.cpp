// Runs killed part-way, in a forked child: whatever the run touched must have its log row,
// and no half-written copy may stand under a final name.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <csignal>

#include "run/maintenance_run.h"
#include "storage/connection.h"
#include "support/failing_file_system.h"
#include "support/run_recorder.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

// Runs the maintenance in a child process prepared by `setUp`; returns how the child ended.
int runInChild(const TempTree& tree,
               const std::function<void(RunRecorder&, FailingFileSystem&)>& setUp) {
    const pid_t pid = fork();
    if (pid == 0) {
        FailingFileSystem fs;
        RunRecorder recorder;
        setUp(recorder, fs);
        MaintenanceRun run(tree.values(), fs, &recorder);
        run.setBatchSize(2);
        run.EXEC_DEL(at(u"2003/03/29 09:05:07"_s), u"30"_s);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// A later run with no rules: all it does is check what the runs before it left.
void checkingRun(const TempTree& tree) {
    Connection(tree.values()).Execute(u"DELETE FROM sweeprun"_s);
    PosixFileSystem fs;
    const RunOutcome outcome =
        MaintenanceRun(tree.values(), fs).EXEC_DEL(at(u"2003/03/30 09:05:07"_s), u"30"_s);
    EXPECT_TRUE(outcome.storageError.isEmpty()) << outcome.storageError.toStdString();
}

QSet<QString> loggedPaths(const TempTree& tree) {
    QSet<QString> paths;
    for (const QStringList& row : tree.logRows()) {
        paths.insert(row[0]);
    }
    return paths;
}

}  // namespace

TEST(InterruptedRun, EveryFileGoneBeforeTheKillHasItsRow) {
    TempTree tree;
    const QString in = tree.dir(u"in"_s);
    QStringList files;
    for (int i = 0; i < 7; ++i) {
        files << tree.file(u"in/f%1.log"_s.arg(i), "x", at(u"2003/03/01 10:00:00"_s).addSecs(i));
    }
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, u"削除"_s});

    const int status = runInChild(tree, [](RunRecorder& recorder, FailingFileSystem&) {
        recorder.afterFile = [count = 0](const FileReport&) mutable {
            if (++count == 3) {
                raise(SIGKILL);
            }
        };
    });

    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const QSet<QString> logged = loggedPaths(tree);
    int gone = 0;
    for (const QString& file : files) {
        if (!QFile::exists(file)) {
            ++gone;
            EXPECT_TRUE(logged.contains(file)) << file.toStdString();
        }
    }
    EXPECT_EQ(gone, 3);
}

TEST(InterruptedRun, ACopyCutOffMidWriteLeavesNoPartialFileUnderItsName) {
    TempTree tree;
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    const QByteArray big(4 << 20, 'b');
    tree.file(u"in/a.dat"_s, "small a", at(u"2003/03/01 10:00:00"_s));
    tree.file(u"in/b.dat"_s, "small b", at(u"2003/03/01 10:00:01"_s));
    tree.file(u"in/c.dat"_s, big, at(u"2003/03/01 10:00:02"_s));
    tree.file(u"out/c.dat"_s, "the previous copy", at(u"2003/01/01 00:00:00"_s));
    tree.addRule({u"001"_s, in, out, u"dat"_s, u"7"_s, u"複写"_s});

    // The kernel kills the child with SIGXFSZ once a write passes 1 MiB: mid-way through c.
    const int status = runInChild(tree, [](RunRecorder&, FailingFileSystem&) {
        const rlimit size{1 << 20, 1 << 20};
        const rlimit core{0, 0};
        setrlimit(RLIMIT_CORE, &core);
        setrlimit(RLIMIT_FSIZE, &size);
    });

    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    EXPECT_EQ(TempTree::read(out + u"/a.dat"_s), "small a");
    EXPECT_EQ(TempTree::read(out + u"/b.dat"_s), "small b");
    EXPECT_EQ(TempTree::read(out + u"/c.dat"_s), "the previous copy");
    const QStringList temps =
        QDir(out).entryList({u".quillon-copy-*"_s}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(temps.size(), 1);  // the cut-off copy, under its temporary name only
    EXPECT_EQ(QFile(out + u'/' + temps[0]).size(), 1 << 20);
    EXPECT_EQ(loggedPaths(tree),
              (QSet<QString>{in + u"/a.dat"_s, in + u"/b.dat"_s, in + u"/c.dat"_s}));

    // The writer is dead, so the next run into that destination removes its temporary.
    PosixFileSystem fs;
    EXPECT_TRUE(MaintenanceRun(tree.values(), fs)
                    .EXEC_DEL(at(u"2003/03/30 09:05:07"_s), u"30"_s)
                    .failures.isEmpty());
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u"a.dat"_s, u"b.dat"_s, u"c.dat"_s}));
    EXPECT_EQ(TempTree::read(out + u"/c.dat"_s), big);
}

TEST(InterruptedRun, TheNextRunRemovesTheRowsOfFilesAKilledRunNeverHandled) {
    for (const QString& process : {u"削除"_s, u"移動"_s}) {
        TempTree tree;
        const QString in = tree.dir(u"in"_s);
        const QString out = tree.dir(u"out"_s);
        QStringList files;
        for (int i = 0; i < 9; ++i) {
            files << tree.file(u"in/f%1.log"_s.arg(i), "x",
                               at(u"2003/03/01 10:00:00"_s).addSecs(i));
        }
        tree.addRule({u"001"_s, in, out, u"log"_s, u"7"_s, process});

        // A delete is killed after its third file; a move across file systems just after it
        // claimed its third file's name, before the copy went into place.
        const int status = runInChild(tree, [&](RunRecorder& recorder, FailingFileSystem& fs) {
            fs.renameAcrossDevices = true;
            recorder.afterFile = [count = 0, process](const FileReport&) mutable {
                if (++count == 3 && process == u"削除"_s) {
                    raise(SIGKILL);
                }
            };
            fs.afterMoveCopy = [&in](const char* name) {
                if (qstrcmp(name, "f2.log") == 0) {
                    const QByteArray dir = QFile::encodeName(in) + '/';
                    ::rename((dir + name).constData(),
                             (dir + ".quillon-move-0123456789abcdef").constData());
                    raise(SIGKILL);
                }
            };
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_GT(loggedPaths(tree).size(), 3);  // rows ahead of the files, as they should be
        // Their writers go on with the files left: each is still the file its row names.
        for (const QString& file : files) {
            QFile appended(file);
            if (appended.exists()) {
                ASSERT_TRUE(appended.open(QIODevice::Append));
                appended.write(" and more");
            }
        }

        checkingRun(tree);
        QSet<QString> gone;
        for (const QString& file : files) {
            if (!QFile::exists(file)) {
                gone.insert(file);
            }
        }
        EXPECT_EQ(gone.size(), process == u"削除"_s ? 3 : 2) << process.toStdString();
        EXPECT_EQ(loggedPaths(tree), gone) << process.toStdString();
        EXPECT_EQ(QDir(in).entryList(QDir::Files | QDir::Hidden).size(), 9 - gone.size());
    }
}

TEST(InterruptedRun, TheNextRunSetsRightWhatARunStoppedByTheStoreLeft) {
    TempTree tree;
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    for (int i = 0; i < 8; ++i) {
        tree.file(u"in/f%1.log"_s.arg(i), "x", at(u"2003/03/01 10:00:00"_s).addSecs(i));
    }
    const QString failing = in + u"/f1.log"_s;
    tree.addRule({u"001"_s, in, out, u"log"_s, u"7"_s, u"移動"_s});
    // The store fills up once four rows are in: the batch that carries the first batch's
    // corrections is never committed.
    Connection(tree.values())
        .Execute(
            u"CREATE TRIGGER full BEFORE INSERT ON day_log WHEN (SELECT COUNT(*) FROM day_log)"
            u" >= 4 BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"_s);
    FailingFileSystem fs;
    fs.failCopyOf.insert("f1.log");
    fs.renameAcrossDevices = true;
    MaintenanceRun run(tree.values(), fs);
    run.setBatchSize(2);
    const RunOutcome outcome = run.EXEC_DEL(at(u"2003/03/29 09:05:07"_s), u"30"_s);
    EXPECT_TRUE(outcome.storageError.contains(u"database or disk is full"_s));
    EXPECT_TRUE(QFile::exists(failing));
    EXPECT_TRUE(loggedPaths(tree).contains(failing));  // a row that says 移動: untrue

    Connection(tree.values()).Execute(u"DROP TRIGGER full"_s);
    checkingRun(tree);
    QSet<QString> gone;
    for (int i = 0; i < 8; ++i) {
        const QString file = in + u"/f%1.log"_s.arg(i);
        if (!QFile::exists(file)) {
            gone.insert(file);
            EXPECT_TRUE(QFile::exists(out + u"/f%1.log"_s.arg(i)));
        }
    }
    // The files of the two committed batches, but for the one that failed.
    EXPECT_EQ(gone, (QSet<QString>{in + u"/f0.log"_s, in + u"/f2.log"_s, in + u"/f3.log"_s}));
    EXPECT_EQ(loggedPaths(tree), gone);
}
