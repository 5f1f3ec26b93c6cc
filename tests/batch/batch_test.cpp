#include "batch/batch_command.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <functional>

#include "schedule/schedule_store.h"
#include "storage/connection.h"
#include "support/chained_trees.h"
#include "support/failing_file_system.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

// sweeprun-batch on the tree's database as of 2003/03/29 09:05:07.
int batchOn(const TempTree& tree, FileSystem& fs, QStringList arguments, QString& out,
            QString& err) {
    out.clear();
    err.clear();
    arguments << u"--at"_s << u"2003/03/29 09:05:07"_s;
    const BatchOptionsResult parsed = parseBatchOptions(arguments, tree.values().db_path);
    EXPECT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    return runBatch(parsed.options, fs, outStream, errStream, false);
}

class BatchTest : public testing::Test {
protected:
    int batch(const QStringList& arguments = {}) { return batchOn(tree, fs, arguments, out, err); }

    TempTree tree;
    FailingFileSystem fs;
    QString out;
    QString err;
};

}  // namespace

TEST_F(BatchTest, RefusesWithoutAUsableLogRetention) {
    EXPECT_EQ(batch(), kExitUnusable);
    EXPECT_EQ(err, u"スケジュールが保存されていません: ログ残存日数は数値で入力してください\n"_s);

    writeSchedule(tree.values(), {u"月"_s, u"09"_s, u"05"_s, u""_s});
    EXPECT_EQ(batch(), kExitUnusable);
    EXPECT_EQ(err, u"ログ残存日数は数値で入力してください\n"_s);

    writeSchedule(tree.values(), {u"月"_s, u"09"_s, u"05"_s, u"-1"_s});
    EXPECT_EQ(batch(), kExitUnusable);
    EXPECT_EQ(err, u"ログ残存日数は０以上の数値で入力してください\n"_s);
}

// A trial counts as each rule's total does, with thousands separated.
TEST_F(BatchTest, ADryRunTotalsAsEachRuleDoes) {
    writeSchedule(tree.values(), {u" "_s, u"09"_s, u"05"_s, u"30"_s});
    const QString in = tree.dir(u"in"_s);
    for (int i = 0; i < 1234; ++i) {
        tree.file(u"in/%1.txt"_s.arg(i), {}, at(u"2003/03/01 10:00:00"_s));
    }
    tree.addRule({u"001"_s, in, u""_s, u"txt"_s, u"7"_s, u"削除"_s});
    EXPECT_EQ(batch({u"--dry-run"_s}), kExitComplete);
    EXPECT_TRUE(out.contains(u"  計 1,234 件（0 バイト）\n"_s)) << out.toStdString();
    EXPECT_TRUE(out.endsWith(u"完了: 1,234 件を処理する予定です（何も変更していません）\n"_s));
}

TEST_F(BatchTest, PrintsEachFileAndTheResultWithItsExitCode) {
    writeSchedule(tree.values(), {u" "_s, u"09"_s, u"05"_s, u"30"_s});
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    const QString a = tree.file(u"in/a.txt"_s, "a", at(u"2003/03/01 10:00:00"_s));
    const QString b = tree.file(u"in/b.txt"_s, "b", at(u"2003/03/02 10:00:00"_s));
    tree.addRule({u"001"_s, in, out, u"txt"_s, u"7"_s, u"複写"_s});

    EXPECT_EQ(batch({u"--dry-run"_s}), kExitComplete);
    EXPECT_TRUE(QDir(out).isEmpty());
    EXPECT_TRUE(tree.logRows().isEmpty());
    EXPECT_TRUE(this->out.endsWith(u"完了: 2 件を処理する予定です（何も変更していません）\n"_s));

    EXPECT_EQ(batch(), kExitComplete);
    EXPECT_EQ(this->out, u"順序 001: "_s + in + u"/*.txt 7日 複写\n"_s +
                             u"  2003/03/01 10:00:00 複写 "_s + a + u" → "_s + out + u"/a.txt\n"_s +
                             u"  2003/03/02 10:00:00 複写 "_s + b + u" → "_s + out + u"/b.txt\n"_s +
                             u"完了: 2 件を処理しました\n"_s);

    QFile::remove(out + u"/b.txt"_s);  // else its copy stands there already, and is kept
    fs.failCopyOf.insert("b.txt");
    EXPECT_EQ(batch(), kExitFailures);
    EXPECT_TRUE(this->out.contains(b + u" の処理に失敗しました（"_s));
    EXPECT_EQ(err, u"2 件中 1 件の処理に失敗しました\n"_s);

    QDir(out).removeRecursively();
    EXPECT_EQ(batch(), kExitMissingDirectory);
    EXPECT_EQ(err,
              u"順序　001　の　"_s + out + u" が存在しません。正しく設定を行なってください\n"_s);

    // A stored rule that registration would refuse: the dry run says what the run says.
    Connection(tree.values()).Execute(u"UPDATE sweeprun SET 残存日数 = 'abc'"_s);
    for (const QStringList& arguments : {QStringList{u"--dry-run"_s}, QStringList{}}) {
        EXPECT_EQ(batch(arguments), kExitUnusable);
        EXPECT_EQ(err, u"順序　001　の設定が正しくありません（残存日数「abc」）\n"_s);
        EXPECT_TRUE(QFile::exists(a));
    }
}

// The dry run prints the rules and files the run then prints, line for line, ends the same
// way, and totals each rule; with 保管日数, deletions go to the trash, in both.
TEST(BatchDryRun, PrintsWhatTheRunThenDoesOnChainedTrees) {
    const auto planLines = [](const QString& out) {
        QStringList lines;
        for (const QString& line : out.split(u'\n')) {
            if ((line.startsWith(u"  "_s) && !line.startsWith(u"  計 "_s)) ||
                line.startsWith(u"順序 "_s)) {
                lines << line;
            }
        }
        return lines;
    };
    for (const ChainedTree& chained : chainedTrees()) {
        for (const bool trash : {false, true}) {
            SCOPED_TRACE(chained.name);
            SCOPED_TRACE(trash);
            TempTree tree;
            chained.build(tree);
            writeSchedule(tree.values(), {u"月"_s, u"09"_s, u"05"_s, u"30"_s});
            writeTrashDays(tree.values(), trash ? u"7"_s : u"0"_s);
            qputenv("XDG_DATA_HOME", QFile::encodeName(tree.dir(u"data"_s)));
            PosixFileSystem fs;
            QString dryOut;
            QString dryErr;
            QString out;
            QString err;
            const int dryCode = batchOn(tree, fs, {u"--dry-run"_s}, dryOut, dryErr);
            EXPECT_EQ(batchOn(tree, fs, {}, out, err), dryCode);
            EXPECT_EQ(planLines(dryOut), planLines(out));
            EXPECT_EQ(dryErr, err);
            EXPECT_TRUE(dryOut.contains(u"\n  計 "_s)) << dryOut.toStdString();
            EXPECT_EQ(out.contains(u" ごみ箱へ "_s), trash && out.contains(u"日 削除"_s));
            qunsetenv("XDG_DATA_HOME");
        }
    }
}

TEST(BatchOptions, BadCommandLinesAreRefusedClearly) {
    EXPECT_EQ(parseBatchOptions({u"--bogus"_s}, u"x.db"_s).error,
              u"不明なオプションです: --bogus"_s);
    EXPECT_EQ(parseBatchOptions({u"--db"_s}, u"x.db"_s).error, u"--db には値が必要です"_s);
    EXPECT_TRUE(parseBatchOptions({u"--at"_s, u"2003/02/30 00:00:00"_s}, u"x.db"_s)
                    .error.startsWith(u"--at の日時が正しくありません: 2003/02/30 00:00:00"_s));
    EXPECT_FALSE(parseBatchOptions({u"--at"_s, u"2003/3/29 9:05:07"_s}, u"x.db"_s).error.isEmpty());

    const BatchOptionsResult ok = parseBatchOptions(
        {u"--dry-run"_s, u"--db"_s, u"/tmp/y.db"_s, u"--at"_s, u"2003/03/29 09:05:07"_s},
        u"x.db"_s);
    EXPECT_TRUE(ok.error.isEmpty());
    EXPECT_TRUE(ok.options.dryRun);
    EXPECT_EQ(ok.options.dbPath, u"/tmp/y.db"_s);
    EXPECT_EQ(ok.options.at, at(u"2003/03/29 09:05:07"_s));
    EXPECT_EQ(parseBatchOptions({}, u"x.db"_s).options.dbPath, u"x.db"_s);
}

TEST(BatchProgram, CreatesAMissingDatabaseAndExitsWithTheDocumentedCodes) {
    QTemporaryDir dir;
    const QString db = dir.filePath(u"new.db"_s);
    QProcess process;
    // A dry run creates nothing, not even the database.
    process.start(QStringLiteral(SWEEPRUN_BATCH), {u"--db"_s, db, u"--dry-run"_s});
    ASSERT_TRUE(process.waitForFinished(30'000));
    EXPECT_EQ(process.exitCode(), kExitUnusable);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()),
              u"データベース "_s + db + u" がありません\n"_s);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    process.start(QStringLiteral(SWEEPRUN_BATCH), {u"--db"_s, db});
    ASSERT_TRUE(process.waitForFinished(30'000));
    EXPECT_EQ(process.exitCode(), kExitUnusable);  // created, but no schedule yet
    EXPECT_TRUE(QFile::exists(db));

    process.start(QStringLiteral(SWEEPRUN_BATCH), {u"--nonsense"_s});
    ASSERT_TRUE(process.waitForFinished(30'000));
    EXPECT_EQ(process.exitCode(), kExitUnusable);
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError()).contains(u"--nonsense"_s));
}

// The batch giving way to a run that holds the database is tested with the window as the
// other process.
TEST_F(BatchTest, ADryRunLeavesNoJournalBehind) {
    writeSchedule(tree.values(), {u" "_s, u"09"_s, u"05"_s, u"30"_s});
    const QString in = tree.dir(u"in"_s);
    const QString a = tree.file(u"in/a.txt"_s, "a", at(u"2003/03/01 10:00:00"_s));
    tree.addRule({u"001"_s, in, u""_s, u"txt"_s, u"7"_s, u"削除"_s});
    const QString db = tree.values().db_path;
    const QStringList journals = {db + u"-wal"_s, db + u"-shm"_s};
    for (const QString& journal : journals) {
        ASSERT_FALSE(QFile::exists(journal));
    }

    EXPECT_EQ(batch({u"--dry-run"_s}), kExitComplete);
    for (const QString& journal : journals) {
        EXPECT_FALSE(QFile::exists(journal)) << journal.toStdString();
    }
    EXPECT_TRUE(QFile::exists(a));
}

TEST(BatchProgram, IfDueRunsOnlyInTheScheduledMinuteAndSaysNothingOtherwise) {
    TempTree tree;
    writeSchedule(tree.values(), {u"日月"_s, u"00"_s, u"00"_s, u"30"_s});
    const QString in = tree.dir(u"in"_s);
    const QString a = tree.file(u"in/a.txt"_s, "a", at(u"2003/03/01 10:00:00"_s));
    tree.addRule({u"001"_s, in, u""_s, u"txt"_s, u"7"_s, u"削除"_s});
    const auto ifDueAt = [&](const QString& time) {
        QProcess process;
        process.start(QStringLiteral(SWEEPRUN_BATCH),
                      {u"--db"_s, tree.values().db_path, u"--if-due"_s, u"--at"_s, time});
        EXPECT_TRUE(process.waitForFinished(30'000));
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAll())};
    };

    // 2003/03/22 is a Saturday: its last minute and the next day's first are a week apart.
    for (const QString& time :
         {u"2003/03/22 23:59:59"_s, u"2003/03/23 00:01:00"_s, u"2003/03/25 00:00:00"_s}) {
        EXPECT_EQ(ifDueAt(time), std::pair(0, QString())) << time.toStdString();
        EXPECT_TRUE(QFile::exists(a));
    }
    const auto [code, said] = ifDueAt(u"2003/03/23 00:00:30"_s);  // Sunday 00:00
    EXPECT_EQ(code, kExitComplete);
    EXPECT_TRUE(said.contains(u"完了: 1 件を処理しました"_s)) << said.toStdString();
    EXPECT_FALSE(QFile::exists(a));

    // A run as of another time marks no minute served: the same minute runs again.
    const QString b = tree.file(u"in/b.txt"_s, "b", at(u"2003/03/01 10:00:00"_s));
    EXPECT_EQ(ifDueAt(u"2003/03/23 00:00:50"_s).first, kExitComplete);
    EXPECT_FALSE(QFile::exists(b));
    const auto servedMinutes = [&] {
        return tree.select(
            u"SELECT scheduled_minute FROM quillon_run WHERE scheduled_minute IS NOT NULL"_s);
    };
    EXPECT_TRUE(servedMinutes().isEmpty());

    // The minute of the real clock is served once: a second timer in it does nothing. (Should
    // the clock pass into the next minute meanwhile, that one is simply not due.)
    for (int tries = 0; tries < 2 && servedMinutes().isEmpty(); ++tries) {
        const QDateTime now = QDateTime::currentDateTime();
        writeSchedule(tree.values(),
                      {u"日月火水木金土"_s, now.toString(u"HH"_s), now.toString(u"mm"_s), u"30"_s});
        QProcess timer;
        timer.start(QStringLiteral(SWEEPRUN_BATCH),
                    {u"--db"_s, tree.values().db_path, u"--if-due"_s});
        ASSERT_TRUE(timer.waitForFinished(30'000));
    }
    ASSERT_EQ(servedMinutes().size(), 1);
    const QString c = tree.file(u"in/c.txt"_s, "c", at(u"2003/03/01 10:00:00"_s));
    QProcess again;
    again.start(QStringLiteral(SWEEPRUN_BATCH), {u"--db"_s, tree.values().db_path, u"--if-due"_s});
    ASSERT_TRUE(again.waitForFinished(30'000));
    EXPECT_EQ(again.exitCode(), kExitComplete);
    EXPECT_TRUE(QFile::exists(c));

    // A missing database has no schedule: not due, and nothing is created.
    QTemporaryDir empty;
    QProcess process;
    process.start(QStringLiteral(SWEEPRUN_BATCH),
                  {u"--db"_s, empty.filePath(u"none.db"_s), u"--if-due"_s});
    ASSERT_TRUE(process.waitForFinished(30'000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(QDir(empty.path()).isEmpty());
}

TEST(BatchProgram, HelpInJapaneseAndTheVersion) {
    QProcess process;
    process.start(QStringLiteral(SWEEPRUN_BATCH), {u"--version"_s});
    ASSERT_TRUE(process.waitForFinished(30'000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()), u"sweeprun-batch 2003.3.29\n"_s);

    process.setProcessEnvironment([] {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QUILLON_DB"_s, u"/srv/quillon/q.db"_s);
        return environment;
    }());
    process.start(QStringLiteral(SWEEPRUN_BATCH), {u"--help"_s});
    ASSERT_TRUE(process.waitForFinished(30'000));
    EXPECT_EQ(process.exitCode(), 0);
    const QString help = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_TRUE(help.startsWith(u"使い方: sweeprun-batch"_s));
    EXPECT_TRUE(help.contains(u"--if-due"_s));
    EXPECT_TRUE(help.contains(u"既定: /srv/quillon/q.db"_s)) << help.toStdString();
}

TEST_F(BatchTest, ADatabaseOtherUsersCouldChangeIsNeverOpened) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "files of another user need root to make";
    }
    writeSchedule(tree.values(), {u" "_s, u"09"_s, u"05"_s, u"30"_s});
    const QString in = tree.dir(u"in"_s);
    const QString a = tree.file(u"in/a.txt"_s, "a", at(u"2003/03/01 10:00:00"_s));
    tree.addRule({u"001"_s, in, u""_s, u"txt"_s, u"7"_s, u"削除"_s});
    const QString db = tree.values().db_path;
    const QByteArray folder = QFile::encodeName(tree.path());
    const auto plant = [](const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("a rule of someone else's");
        file.close();
        EXPECT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    };
    const auto fifo = [](const QString& path) {
        EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0666), 0);
    };
    const struct {
        std::function<void()> make;
        QString reason;
    } cases[] = {
        {[&] { plant(db + u"-wal"_s); }, db + u"-wal の所有者が nobody です"_s},
        {[&] { plant(db + u"-journal"_s); }, db + u"-journal の所有者が nobody です"_s},
        {[&] { plant(db + u".lock"_s); }, db + u".lock の所有者が nobody です"_s},
        {[&] { fifo(db + u".lock"_s); }, db + u".lock が通常のファイルではありません"_s},
        {[&] { fifo(db + u"-journal"_s); }, db + u"-journal が通常のファイルではありません"_s},
        {[&] { ::chmod(folder.constData(), 01777); },
         tree.path() + u" にグループか他のユーザーが書き込めます"_s},
        {[&] { ::chown(folder.constData(), 65534, 65534); },
         tree.path() + u" の所有者が nobody です"_s},
    };
    for (const auto& c : cases) {
        c.make();
        for (const QStringList& options : {QStringList(), QStringList{u"--dry-run"_s}}) {
            EXPECT_EQ(batch(options), kExitUnusable) << c.reason.toStdString();
            EXPECT_EQ(err, u"データベース "_s + db +
                               u" は他のユーザーが書き換えられる場所にあります（"_s + c.reason +
                               u"）\n"_s);
            EXPECT_TRUE(QFile::exists(a));
        }
        for (const char* suffix : {"-wal", "-journal", ".lock"}) {
            ::unlink((QFile::encodeName(db) + suffix).constData());
        }
        ::chmod(folder.constData(), 0700);
        ::chown(folder.constData(), 0, 0);
    }

    EXPECT_EQ(batch(), kExitComplete);
    EXPECT_FALSE(QFile::exists(a));
    struct stat lock {};
    ASSERT_EQ(::lstat((QFile::encodeName(db) + ".lock").constData(), &lock), 0);
    EXPECT_EQ(lock.st_mode & 07777, 0600u);  // nobody else can open it, so nobody can hold it

    // A rule folder another user could swap stops the run like a missing one.
    const QString share = tree.dir(u"share"_s);
    ASSERT_TRUE(QFile::link(in, share + u"/logs"_s));
    ASSERT_EQ(::chown(QFile::encodeName(share).constData(), 65534, 65534), 0);
    ASSERT_EQ(::lchown(QFile::encodeName(share + u"/logs"_s).constData(), 65534, 65534), 0);
    tree.addRule({u"002"_s, share + u"/logs"_s, u""_s, u"txt"_s, u"7"_s, u"削除"_s});
    EXPECT_EQ(batch(), kExitMissingDirectory);
    EXPECT_EQ(
        err,
        u"順序　002　の　"_s + share +
            u"/logs は他のユーザーが差し替えられる場所にあります。正しく設定を行なってください\n"_s);
}

// --runs lists what the history keeps, newest first, and changes nothing; --undo takes a run
// back, or says what that would do.
TEST_F(BatchTest, ListsTheRecordedRunsNewestFirstAndTakesOneBack) {
    writeSchedule(tree.values(), {u"月"_s, u"09"_s, u"05"_s, u"30"_s});
    const QString in = tree.dir(u"in"_s);
    tree.addRule({u"001"_s, in, tree.dir(u"out"_s), u"log"_s, u"7"_s, u"移動"_s});
    tree.file(u"in/a.log"_s, "a", at(u"2003/03/01 10:00:00"_s));
    EXPECT_EQ(batch(), kExitComplete);
    tree.file(u"in/b.log"_s, "b", at(u"2003/03/01 10:00:00"_s));
    fs.renameAcrossDevices = true;
    fs.failCopyOf.insert("b.log");
    EXPECT_EQ(batch(), kExitFailures);
    // A run killed before its end.
    Connection(tree.values())
        .Execute(
            u"INSERT INTO quillon_run (program, run_text) VALUES ('sweeprun', "
            u"'2003/03/29 10:00:00')"_s);
    const QStringList before = tree.storedLogRows();

    EXPECT_EQ(batch({u"--runs"_s}), kExitComplete);
    const QString program = QCoreApplication::applicationName();
    EXPECT_EQ(out,
              u"     3  2003/03/29 10:00:00  sweeprun  未完了\n"
              u"     2  2003/03/29 09:05:07  "_s +
                  program +
                  u"  完了 0 件、失敗 1 件\n"
                  u"     1  2003/03/29 09:05:07  "_s +
                  program + u"  完了 1 件\n"_s);
    EXPECT_EQ(tree.storedLogRows(), before);

    const QString moved = tree.path(u"out/a.log"_s);
    EXPECT_EQ(batch({u"--undo"_s, u"1"_s, u"--dry-run"_s}), kExitComplete);
    EXPECT_EQ(out, u"  2003/03/01 10:00:00 移動取消 "_s + in +
                       u"/a.log\n取消: 1 件を元に戻す予定です（何も変更していません）\n"_s);
    EXPECT_TRUE(QFile::exists(moved));
    EXPECT_EQ(batch({u"--undo"_s, u"1"_s}), kExitComplete);
    EXPECT_TRUE(out.endsWith(u"取消: 1 件を元に戻しました\n"_s));
    EXPECT_EQ(TempTree::read(in + u"/a.log"_s), "a");
    EXPECT_EQ(batch({u"--undo"_s, u"99"_s}), kExitUnusable);
    EXPECT_EQ(err, u"実行 99 の記録がありません\n"_s);
    EXPECT_FALSE(parseBatchOptions({u"--undo"_s, u"x"_s}, QString()).error.isEmpty());
}
