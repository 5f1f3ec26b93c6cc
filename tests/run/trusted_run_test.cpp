// A run that acts on exactly the files it listed, whatever the names, the file times, or
// other processes do to its directories, its files and its database meanwhile.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "disk/name_text.h"
#include "run/maintenance_run.h"
#include "run/run_notice.h"
#include "storage/connection.h"
#include "storage/run_lock.h"
#include "storage/sql_text.h"
#include "support/as_other_user.h"
#include "support/failing_file_system.h"
#include "support/run_recorder.h"
#include "support/temp_tree.h"
#include "text/date_time_text.h"

using namespace Qt::StringLiterals;

namespace {

const QString kRun = u"2003/03/29 09:05:07"_s;
const QDateTime kOld = at(u"2003/03/01 10:00:00"_s);

// Writes a file under the exact bytes of its name; false when the file system refuses the time.
bool writeRaw(const QString& dir, const QByteArray& name, qint64 mtime) {
    const QByteArray path = QFile::encodeName(dir) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0) << path.constData();
    ::write(fd, name.constData(), static_cast<size_t>(name.size()));
    ::close(fd);
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    struct stat info {};
    return ::utimensat(AT_FDCWD, path.constData(), times, 0) == 0 &&
           ::stat(path.constData(), &info) == 0 && info.st_mtim.tv_sec == mtime;
}

bool existsRaw(const QString& dir, const QByteArray& name) {
    struct stat info {};
    return ::lstat((QFile::encodeName(dir) + '/' + name).constData(), &info) == 0;
}

class TrustedRunTest : public testing::Test {
protected:
    RunOutcome run() {
        MaintenanceRun maintenance(tree.values(), fs, &recorder);
        maintenance.setBatchSize(2);
        return maintenance.EXEC_DEL(at(kRun), u"30"_s);
    }
    QStringList row(const QString& path, const QString& process, const QString& stamp) {
        return {path, stamp, process, kRun};
    }

    TempTree tree;
    FailingFileSystem fs;
    RunRecorder recorder;
};

}  // namespace

TEST_F(TrustedRunTest, NamesAreBytesAndStampsNeverLeaveNineteenCharacters) {
    const QString in = tree.dir(u"in"_s);
    const qint64 now = at(kRun).toSecsSinceEpoch();
    ASSERT_TRUE(writeRaw(in, "alias\xff.log", now - 30 * 86'400));
    ASSERT_TRUE(writeRaw(in, "alias\xef\xbf\xbd.log", now - 3'600));  // U+FFFD, one hour old
    ASSERT_TRUE(writeRaw(in, "alias\\xff.log", now - 30 * 86'400));   // the first one's old text
    ASSERT_TRUE(writeRaw(in, "two\nlines.log", now - 30 * 86'400));
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, u"削除"_s});

    const RunOutcome outcome = run();
    EXPECT_TRUE(outcome.failures.isEmpty());
    EXPECT_FALSE(existsRaw(in, "alias\xff.log"));
    EXPECT_TRUE(existsRaw(in, "alias\xef\xbf\xbd.log"));
    const QString stamp = u"2003/02/27 09:05:07"_s;
    EXPECT_EQ(tree.logRows(),
              (QList<QStringList>{row(in + u"/alias\\\\xff.log"_s, u"削除"_s, stamp),
                                  row(in + u"/alias\\xff.log"_s, u"削除"_s, stamp),
                                  row(in + u"/two\\x0alines.log"_s, u"削除"_s, stamp)}));

    // File times beyond the four-digit years, where the file system keeps them (tmpfs does;
    // ext4 clamps them).
    QTemporaryDir shm(u"/dev/shm/quillon-XXXXXX"_s);
    if (!shm.isValid() || !writeRaw(shm.path(), "x future.txt", 253'402'300'800LL + 86'400) ||
        !writeRaw(shm.path(), "ancient.txt", -62'200'000'000LL * 2)) {
        GTEST_SKIP() << "no file system here keeps times outside the years 0000 to 9999";
    }
    ASSERT_TRUE(writeRaw(shm.path(), " future.txt", now));
    tree.addRule({u"002"_s, shm.path(), u""_s, u"txt"_s, u"7"_s, u"削除"_s});
    EXPECT_TRUE(run().failures.isEmpty());
    EXPECT_TRUE(existsRaw(shm.path(), "x future.txt"));  // after year 9999: never old
    EXPECT_TRUE(existsRaw(shm.path(), " future.txt"));
    EXPECT_FALSE(existsRaw(shm.path(), "ancient.txt"));  // before year 0000: old
    EXPECT_TRUE(tree.logRows().contains(
        row(shm.path() + u"/ancient.txt"_s, u"削除"_s, u"0000/01/01 00:00:00"_s)));
}

TEST_F(TrustedRunTest, ADirectorySwappedMidRuleNeverRedirectsTheRun) {
    const QString in = tree.dir(u"in"_s);
    const QString others = tree.dir(u"others"_s);
    for (int i = 0; i < 6; ++i) {
        tree.file(u"in/f%1.log"_s.arg(i), "mine", kOld.addSecs(i));
        tree.file(u"others/f%1.log"_s.arg(i), "someone else's", kOld.addSecs(i));
    }
    // The rule names its directory through a link of its own, which is followed once.
    ASSERT_TRUE(QFile::link(in, tree.path(u"via"_s)));
    tree.addRule({u"001"_s, tree.path(u"via"_s), u""_s, u"log"_s, u"7"_s, u"削除"_s});
    recorder.afterFile = [&, swapped = false](const FileReport&) mutable {
        if (!swapped) {
            swapped = true;
            ASSERT_TRUE(QDir().rename(in, tree.path(u"moved-away"_s)));
            ASSERT_TRUE(QFile::link(others, in));
        }
    };

    const RunOutcome outcome = run();
    EXPECT_TRUE(outcome.failures.isEmpty());
    EXPECT_EQ(outcome.doneFiles, 6);
    EXPECT_TRUE(QDir(tree.path(u"moved-away"_s)).isEmpty());
    EXPECT_EQ(QDir(others).entryList(QDir::Files).size(), 6);
}

TEST_F(TrustedRunTest, AFileChangedAfterItWasListedIsLeftAloneAndLosesItsRow) {
    const QString in = tree.dir(u"in"_s);
    const QString a = tree.file(u"in/a.log"_s, "a", kOld);
    const QString touched = tree.file(u"in/b.log"_s, "b", kOld.addSecs(1));
    const QString replaced = tree.file(u"in/c.log"_s, "c", kOld.addSecs(2));
    const QString d = tree.file(u"in/d.log"_s, "d", kOld.addSecs(3));
    const QString gone = tree.file(u"in/e.log"_s, "e", kOld.addSecs(4));
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, u"削除"_s});
    fs.beforeCheck = [&](const char* name) {
        if (qstrcmp(name, "a.log") == 0) {  // listed already; changed before their turn
            tree.file(u"in/b.log"_s, "rewritten", at(kRun).addSecs(-60));
            QFile::rename(replaced, tree.path(u"aside"_s));  // keeps its inode from the new file
            tree.file(u"in/c.log"_s, "a new file of the same name", kOld.addSecs(2));
            QFile::remove(gone);
        }
    };

    const RunOutcome outcome = run();
    EXPECT_TRUE(outcome.failures.isEmpty());
    EXPECT_EQ(outcome.doneFiles, 2);
    EXPECT_EQ(outcome.skippedFiles, 3);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(TempTree::read(touched), "rewritten");
    EXPECT_EQ(TempTree::read(replaced), "a new file of the same name");
    EXPECT_FALSE(QFile::exists(d));
    EXPECT_EQ(recorder.files,
              (QStringList{u"done "_s + a, u"skipped "_s + touched, u"skipped "_s + replaced,
                           u"done "_s + d, u"skipped "_s + gone}));
    EXPECT_EQ(tree.logRows(), (QList<QStringList>{row(a, u"削除"_s, u"2003/03/01 10:00:00"_s),
                                                  row(d, u"削除"_s, u"2003/03/01 10:00:03"_s)}));
}

TEST_F(TrustedRunTest, AMoveOntoAHardLinkOfTheSameFileIsCompletedOnce) {
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    const QString a = tree.file(u"in/a.log"_s, "one file, two names", kOld);
    ASSERT_EQ(
        ::link(QFile::encodeName(a).constData(), QFile::encodeName(out + u"/a.log"_s).constData()),
        0);
    tree.addRule({u"001"_s, in, out, u"log"_s, u"7"_s, u"移動"_s});

    EXPECT_TRUE(run().failures.isEmpty());
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(TempTree::read(out + u"/a.log"_s), "one file, two names");
    EXPECT_EQ(run().doneFiles, 0);  // not "moved" again at the next run
    EXPECT_EQ(tree.logRows().size(), 1);
}

TEST_F(TrustedRunTest, OneRunPerDatabaseAcrossProcesses) {
    const QString in = tree.dir(u"in"_s);
    const QString a = tree.file(u"in/a.log"_s, "a", kOld);
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, u"削除"_s});
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t holder = fork();
    if (holder == 0) {  // another process in the middle of its run
        const RunLock lock(tree.values().db_path);
        char byte = lock.held() ? 'y' : 'n';
        ::write(ready[1], &byte, 1);
        ::read(release[0], &byte, 1);
        _exit(0);
    }
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ASSERT_EQ(held, 'y');

    RunOutcome outcome = run();
    EXPECT_TRUE(outcome.busy);
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_TRUE(tree.logRows().isEmpty());

    // The other process ends without a word (or is killed): the kernel drops its lock.
    ::kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    outcome = run();
    EXPECT_FALSE(outcome.busy);
    EXPECT_FALSE(QFile::exists(a));
    for (const int fd : {ready[0], ready[1], release[0], release[1]}) {
        ::close(fd);
    }
}

TEST_F(TrustedRunTest, AReadOnlyDatabaseStopsTheRunAndRecoversOnceWritable) {
    const QString in = tree.dir(u"in"_s);
    const QString a = tree.file(u"in/a.log"_s, "a", kOld);
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, u"削除"_s});
    const QString db = tree.values().db_path;

    const bool passed = asOtherUser(tree.path(), [&] {
        ASSERT_TRUE(
            QFile::setPermissions(db, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        PosixFileSystem real;
        const RunOutcome refused = MaintenanceRun(tree.values(), real).EXEC_DEL(at(kRun), u"30"_s);
        EXPECT_TRUE(
            refused.storageError.startsWith(u"データベース "_s + db + u" に書き込めません（"_s))
            << refused.storageError.toStdString();
        EXPECT_TRUE(QFile::exists(a));
        EXPECT_FALSE(QFile::exists(db + u"-wal"_s));

        // Reading it meanwhile, as the window's lists do, leaves journal files as read-only as
        // the database was.
        { Recordset(*std::make_unique<Connection>(tree.values()), u"SELECT * FROM day_log"_s); }
        ASSERT_TRUE(QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner));
        const RunOutcome later = MaintenanceRun(tree.values(), real).EXEC_DEL(at(kRun), u"30"_s);
        EXPECT_TRUE(later.storageError.isEmpty()) << later.storageError.toStdString();
        EXPECT_FALSE(QFile::exists(a));
    });
    EXPECT_TRUE(passed);
}

TEST_F(TrustedRunTest, TheRunStoresWhatTheFixedStatementTextsStoreAndTouchesTheSameFiles) {
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    const qint64 old = kOld.toSecsSinceEpoch();
    const QList<QByteArray> names = {"it's.log",        "日本 語.log",     "a''b.log",
                                     " lead.log",       "bad\xfe\xff.log", "x.LOG",
                                     "\xe2\x80\x8b.log"};
    for (qsizetype i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(writeRaw(in, names[i], old + i));
    }
    tree.addRule({u"001"_s, in, out, u"log"_s, u"7"_s, u"移動"_s});
    ASSERT_TRUE(run().failures.isEmpty());

    // The same rows through the fixed statement text, into a database of their own.
    TempTree fixed;
    {
        Connection connection(fixed.values());
        for (qsizetype i = 0; i < names.size(); ++i) {
            connection.Execute(SqlText::insertValues(
                fixed.values().tbl_log,
                {in + u'/' + nameText(names[i]), stampText(old + i), u"移動"_s, kRun}));
        }
    }
    EXPECT_EQ(tree.storedLogRows(), fixed.storedLogRows());
    for (const QByteArray& name : names) {
        EXPECT_FALSE(existsRaw(in, name)) << name.toHex().constData();
        EXPECT_TRUE(existsRaw(out, name)) << name.toHex().constData();
    }
}
