#include "run/maintenance_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include "run/run_notice.h"
#include "run/run_plan.h"
#include "storage/connection.h"
#include "support/as_other_user.h"
#include "support/failing_file_system.h"
#include "support/run_recorder.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

const QString kRun = u"2003/03/29 09:05:07"_s;
const QString& kCopy = kCopyProcess;
const QString& kMove = kMoveProcess;
const QString& kDelete = kDeleteProcess;

class MaintenanceRunTest : public testing::Test {
protected:
    RunOutcome run(const QString& logDays = u"30"_s, bool dryRun = false) {
        MaintenanceRun maintenance(tree.values(), fs, &recorder,
                                   dryRun ? RunMode::Dry : RunMode::Real);
        maintenance.setBatchSize(2);  // several batches even with a handful of files
        return maintenance.EXEC_DEL(at(kRun), logDays);
    }
    QString old(const QString& relative, const QByteArray& content = "x") {
        return tree.file(relative, content, at(u"2003/03/01 10:00:00"_s));
    }
    QString fresh(const QString& relative) {
        return tree.file(relative, "new", at(u"2003/03/29 09:00:00"_s));
    }
    QStringList row(const QString& path, const QString& process,
                    const QString& stamp = u"2003/03/01 10:00:00"_s) {
        return {path, stamp, process, kRun};
    }

    TempTree tree;
    FailingFileSystem fs;
    RunRecorder recorder;
};

}  // namespace

TEST_F(MaintenanceRunTest, PrunesTheLogThenDeletesWhatIsOlderThanTheCutoff) {
    tree.addLogRow({u"/x/pruned"_s, u"2003/01/01 00:00:00"_s, kDelete, u"2003/03/22 09:05:06"_s});
    tree.addLogRow({u"~at-cutoff"_s, u"2003/01/01 00:00:00"_s, kDelete, u"2003/03/22 09:05:07"_s});
    const QString in = tree.dir(u"in"_s);
    const QString a = old(u"in/a.txt"_s);
    const QString quoted = tree.file(u"in/it's.txt"_s, "q", at(u"2003/03/10 00:00:00"_s));
    const QString edge = tree.file(u"in/edge.txt"_s, "e", at(u"2003/03/22 09:05:07"_s));
    const QString later = fresh(u"in/later.txt"_s);
    const QString other = old(u"in/other.csv"_s);
    tree.addRule({u"001"_s, in, u""_s, u"txt"_s, u"7"_s, kDelete});

    const RunOutcome outcome = run(u"7"_s);

    EXPECT_EQ(outcome.result, QString());
    EXPECT_TRUE(outcome.failures.isEmpty());
    EXPECT_TRUE(outcome.storageError.isEmpty());
    EXPECT_EQ(outcome.doneFiles, 2);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_FALSE(QFile::exists(quoted));
    EXPECT_TRUE(QFile::exists(edge));  // stamped exactly at the cutoff
    EXPECT_TRUE(QFile::exists(later));
    EXPECT_TRUE(QFile::exists(other));
    EXPECT_EQ(tree.logRows(),
              (QList<QStringList>{
                  row(in + u"/a.txt"_s, kDelete),
                  row(in + u"/it's.txt"_s, kDelete, u"2003/03/10 00:00:00"_s),
                  {u"~at-cutoff"_s, u"2003/01/01 00:00:00"_s, kDelete, u"2003/03/22 09:05:07"_s}}));
    EXPECT_EQ(recorder.files, (QStringList{u"done "_s + a, u"done "_s + quoted}));
}

TEST_F(MaintenanceRunTest, RetentionZeroAndAnEmptyLogRetentionKeepOnlyThisRun) {
    tree.addLogRow({u"/x/earlier"_s, u"2003/01/01 00:00:00"_s, kDelete, u"2003/03/29 09:05:06"_s});
    const QString in = tree.dir(u"in"_s);
    const QString second = tree.file(u"in/second.txt"_s, "s", at(u"2003/03/29 09:05:06"_s));
    const QString now = tree.file(u"in/now.txt"_s, "n", at(kRun));
    tree.addRule({u"001"_s, in, u""_s, u"txt"_s, u"0"_s, kDelete});

    EXPECT_EQ(run(u""_s).result, QString());
    EXPECT_FALSE(QFile::exists(second));
    EXPECT_TRUE(QFile::exists(now));
    EXPECT_EQ(tree.logRows(),
              (QList<QStringList>{row(in + u"/second.txt"_s, kDelete, u"2003/03/29 09:05:06"_s)}));
}

TEST_F(MaintenanceRunTest, ACopyWritesOnlyWhatItsTargetDoesNotHoldYetAndAMoveAlwaysMoves) {
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    const QString source = old(u"in/a.txt"_s, "fresh data");
    const QString target = out + u"/a.txt"_s;
    tree.addRule({u"001"_s, in, out, u"txt"_s, u"7"_s, kCopy});
    const auto identity = [](const QString& path) {
        struct stat info {};
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        return std::pair{info.st_ino, info.st_ctim.tv_nsec + info.st_ctim.tv_sec * 1'000'000'000};
    };
    const struct {
        const char* what;
        QByteArray content;  // of the target before the run; empty for none
        QString mtime;
        bool rewritten;
        bool link = false;  // the target is a link to a file of that content and time
    } cases[] = {
        {"no target", {}, {}, true},
        {"same size and time", "fresh data", u"2003/03/01 10:00:00"_s, false},
        {"other size", "stale", u"2003/03/01 10:00:00"_s, true},
        {"other time", "fresh DATA", u"2003/03/01 10:00:01"_s, true},
        {"a link to the same size and time", "FRESH data", u"2003/03/01 10:00:00"_s, true, true},
    };
    for (const auto& c : cases) {
        QFile::remove(target);
        if (c.link) {
            ASSERT_TRUE(QFile::link(tree.file(u"elsewhere.txt"_s, c.content, at(c.mtime)), target));
        } else if (!c.content.isEmpty()) {
            tree.file(u"out/a.txt"_s, c.content, at(c.mtime));
        }
        const auto before = QFile::exists(target) ? identity(target) : std::pair<ino_t, long>{};
        const RunOutcome outcome = run();
        EXPECT_EQ(outcome.doneFiles, 1) << c.what;  // the target holds the file either way
        EXPECT_EQ(identity(target) != before, c.rewritten) << c.what;
        EXPECT_EQ(TempTree::read(target), c.rewritten ? "fresh data" : c.content) << c.what;
        EXPECT_EQ(TempTree::mtime(target), at(u"2003/03/01 10:00:00"_s)) << c.what;
    }
    EXPECT_EQ(TempTree::read(tree.path(u"elsewhere.txt"_s)), "FRESH data");  // never written to
    EXPECT_EQ(tree.logRows().size(), 5);  // logged as copied at every run
    EXPECT_TRUE(QFile::exists(source));

    // A move never trusts an identical target: the source must go.
    Connection(tree.values()).Execute(u"UPDATE sweeprun SET 処理 = '移動'"_s);
    EXPECT_EQ(run().doneFiles, 1);
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(TempTree::read(target), "fresh data");
}

TEST_F(MaintenanceRunTest, AStoredRuleThatRegistrationWouldRefuseStopsTheRunBeforeAnything) {
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    const QString first = old(u"in/first.log"_s);
    const QString young = tree.file(u"in/young.txt"_s, "a minute old", at(kRun).addSecs(-60));
    tree.addLogRow({u"/x/pruned"_s, u"2003/01/01 00:00:00"_s, kDelete, u"2002/01/01 00:00:00"_s});
    const struct {
        QString retention, process, source, destination, field;
    } cases[] = {
        {u"７"_s, kDelete, in, u""_s, u"残存日数「７」"_s},  // read loosely: 0 days
        {u"abc"_s, kDelete, in, u""_s, u"残存日数「abc」"_s},
        {u"-1"_s, kDelete, in, u""_s, u"残存日数「-1」"_s},
        {u"1e400"_s, kDelete, in, u""_s, u"残存日数「1e400」"_s},
        {u"1"_s + QString(400, u'0'), kDelete, in, u""_s,
         u"残存日数「1"_s + QString(400, u'0') + u"」"_s},
        {u"7"_s, u"copy"_s, in, out, u"処理「copy」"_s},
        {u"7"_s, kCopy, in, u""_s, u"先ディレクトリ「」"_s},
        {u"7"_s, kMove, in, u"out"_s, u"先ディレクトリ「out」"_s},
        {u"7"_s, kDelete, u"in"_s, u""_s, u"元ディレクトリ「in」"_s},
    };
    for (const auto& c : cases) {
        Connection(tree.values()).Execute(u"DELETE FROM sweeprun"_s);
        tree.addRule({u"001"_s, in, out, u"log"_s, u"7"_s, kMove});
        tree.addRule({u"003"_s, c.source, c.destination, u"txt"_s, c.retention, c.process});
        for (const bool dryRun : {true, false}) {
            MaintenanceRun maintenance(tree.values(), fs, &recorder,
                                       dryRun ? RunMode::Dry : RunMode::Real);
            const RunOutcome outcome = maintenance.EXEC_DEL(at(kRun), u"30"_s);
            EXPECT_EQ(outcome.refusedRules,
                      u"順序　003　の設定が正しくありません（"_s + c.field + u"）"_s);
            EXPECT_EQ(runNotice(outcome, tree.values().db_path).ending,
                      RunNotice::Ending::RulesRefused);
        }
        EXPECT_TRUE(recorder.files.isEmpty());
        EXPECT_TRUE(QFile::exists(first) && QFile::exists(young));  // not even rule 001 ran
        EXPECT_EQ(tree.logRows().size(), 1);                        // nor was the log pruned
    }
}

TEST_F(MaintenanceRunTest, AMissingDirectoryStopsAtItsRuleAfterPruning) {
    tree.addLogRow({u"/x/pruned"_s, u"2003/01/01 00:00:00"_s, kDelete, u"2002/01/01 00:00:00"_s});
    const QString one = old(u"r1/a.txt"_s);
    const QString two = old(u"r2/a.txt"_s);
    const QString four = old(u"r4/a.txt"_s);
    const QString five = old(u"r5/a.txt"_s);
    // A delete rule never looks at its destination, however stale.
    tree.addRule({u"001"_s, tree.path(u"r1"_s), u""_s, u"txt"_s, u"7"_s, kDelete});
    tree.addRule({u"002"_s, tree.path(u"r2"_s), tree.path(u"gone"_s), u"txt"_s, u"7"_s, kDelete});
    tree.addRule({u"003"_s, tree.path(u"r3"_s), u""_s, u"txt"_s, u"7"_s, kDelete});
    tree.addRule({u"004"_s, tree.path(u"r4"_s), u""_s, u"txt"_s, u"7"_s, kDelete});
    tree.addRule({u"005"_s, tree.path(u"r5"_s), u""_s, u"txt"_s, u"7"_s, kDelete});

    EXPECT_EQ(run().result, u"順序　003　の　"_s + tree.path(u"r3"_s));
    EXPECT_FALSE(QFile::exists(one));
    EXPECT_FALSE(QFile::exists(two));
    EXPECT_TRUE(QFile::exists(four));
    EXPECT_TRUE(QFile::exists(five));
    EXPECT_EQ(tree.logRows(), (QList<QStringList>{row(one, kDelete), row(two, kDelete)}));
    EXPECT_EQ(recorder.rules, (QStringList{u"001"_s, u"002"_s}));

    // A missing destination is named the same way.
    tree.dir(u"r3"_s);
    tree.dir(u"r4/x"_s);
    {
        Connection connection(tree.values());
        connection.Execute(u"UPDATE sweeprun SET 処理 = '移動', 先ディレクトリ = '"_s +
                           tree.path(u"r4/missing"_s) + u"' WHERE 順序 = '004'"_s);
    }
    EXPECT_EQ(run().result, u"順序　004　の　"_s + tree.path(u"r4/missing"_s));
    EXPECT_TRUE(QFile::exists(four));
}

TEST_F(MaintenanceRunTest, RulesApplyOneAfterAnotherOnWhatEarlierRulesLeft) {
    const QString in = tree.dir(u"in"_s);
    const QString mid = tree.dir(u"mid"_s);
    const QString out = tree.dir(u"out"_s);
    old(u"in/a.txt"_s, "payload");
    const QString recent = fresh(u"in/n.txt"_s);
    tree.addRule({u"001"_s, in, mid, u"txt"_s, u"7"_s, kMove});
    tree.addRule({u"002"_s, in, u""_s, u"txt"_s, u"0"_s, kDelete});
    tree.addRule({u"003"_s, mid, out, u"txt"_s, u"7"_s, kCopy});

    EXPECT_EQ(run().result, QString());
    EXPECT_FALSE(QFile::exists(recent));
    EXPECT_EQ(TempTree::read(mid + u"/a.txt"_s), "payload");
    EXPECT_EQ(TempTree::read(out + u"/a.txt"_s), "payload");
    EXPECT_EQ(tree.logRows(),
              (QList<QStringList>{row(in + u"/a.txt"_s, kMove),
                                  row(in + u"/n.txt"_s, kDelete, u"2003/03/29 09:00:00"_s),
                                  row(mid + u"/a.txt"_s, kCopy)}));
}

TEST_F(MaintenanceRunTest, SpacesAroundStoredValuesAreIgnored) {
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    old(u"in/a.txt"_s);
    tree.addRule(
        {u" 001 "_s, in + u"  "_s, u" "_s + out + u" "_s, u" txt "_s, u" 7 "_s, u" 複写 "_s});

    EXPECT_EQ(run().result, QString());
    EXPECT_TRUE(QFile::exists(out + u"/a.txt"_s));
    EXPECT_EQ(tree.logRows(), (QList<QStringList>{row(in + u"/a.txt"_s, kCopy)}));
}

TEST_F(MaintenanceRunTest, AFileThatCannotBeHandledIsReportedAndTheRunGoesOn) {
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    const QString a = old(u"in/a.txt"_s);
    const QString b = old(u"in/b.txt"_s);
    const QString c = old(u"in/c.txt"_s);
    fs.failCopyOf.insert("b.txt");
    fs.renameAcrossDevices = true;
    tree.addRule({u"001"_s, in, out, u"txt"_s, u"7"_s, kMove});

    const RunOutcome outcome = run();

    EXPECT_EQ(outcome.result, QString());
    ASSERT_EQ(outcome.failures.size(), 1);
    EXPECT_EQ(outcome.failures[0].message(),
              b + u" の処理に失敗しました（先ディレクトリ "_s + out +
                  u" に書き込めません：ディスクの空き容量が足りません）"_s);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_TRUE(QFile::exists(b));  // its copy failed, so it stays
    EXPECT_FALSE(QFile::exists(c));
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u"a.txt"_s, u"c.txt"_s}));
    // The rows of the files left alone say so.
    EXPECT_EQ(tree.logRows(),
              (QList<QStringList>{row(a, kMove), row(b, u"移動失敗"_s), row(c, kMove)}));
    EXPECT_EQ(outcome.doneFiles, 2);  // b failed
    EXPECT_EQ(recorder.files, (QStringList{u"done "_s + a, u"failed "_s + b, u"done "_s + c}));
}

// A folder the user may not write in is named: the destination where the copy or move could
// not be placed, not where the file could not be taken from.
TEST_F(MaintenanceRunTest, AFailureNamesTheDestinationFolderWhenThatIsWhatFailed) {
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    const QString locked = tree.dir(u"locked"_s);
    const QString a = old(u"in/a.txt"_s);
    const QString b = old(u"locked/b.log"_s);
    tree.addRule({u"001"_s, in, out, u"txt"_s, u"7"_s, kCopy});
    tree.addRule({u"002"_s, locked, in, u"log"_s, u"7"_s, kMove});
    EXPECT_TRUE(asOtherUser(tree.path(), [&] {
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner;
        ASSERT_TRUE(QFile::setPermissions(out, readOnly));
        ASSERT_TRUE(QFile::setPermissions(locked, readOnly));
        const RunOutcome outcome = run();
        QStringList messages;
        for (const FileFailure& failure : outcome.failures) {
            messages << failure.message();
        }
        EXPECT_EQ(messages,
                  (QStringList{a + u" の処理に失敗しました（先ディレクトリ "_s + out +
                                   u" に書き込めません：アクセスが拒否されました）"_s,
                               b + u" の処理に失敗しました（アクセスが拒否されました）"_s}));
    }));
}

TEST_F(MaintenanceRunTest, NothingIsCopiedOrMovedOntoItself) {
    const QString in = tree.dir(u"in"_s);
    const QStringList files{old(u"in/a.txt"_s, "precious"), old(u"in/b.dat"_s, "precious"),
                            old(u"in/c.log"_s, "precious")};
    ASSERT_TRUE(QFile::link(in, tree.path(u"alias"_s)));
    tree.addRule({u"001"_s, in, in + u"/"_s, u"txt"_s, u"7"_s, kMove});
    tree.addRule({u"002"_s, in, in + u"/."_s, u"dat"_s, u"7"_s, kCopy});
    tree.addRule({u"003"_s, in, tree.path(u"alias"_s), u"log"_s, u"7"_s, kMove});

    const RunOutcome outcome = run();

    ASSERT_EQ(outcome.failures.size(), 3);
    for (qsizetype i = 0; i < 3; ++i) {
        EXPECT_EQ(outcome.failures[i].message(),
                  files[i] + u" の処理に失敗しました（コピー先が元のファイルと同じです）"_s);
        EXPECT_EQ(TempTree::read(files[i]), "precious");
    }
    EXPECT_EQ(QDir(in).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST_F(MaintenanceRunTest, AStorageFailureEndsTheRunBeforeTheNextFileIsTouched) {
    const QString in = tree.dir(u"in"_s);
    QStringList files;
    for (const QString& name : {u"a.txt"_s, u"b.txt"_s, u"c.txt"_s, u"d.txt"_s, u"e.txt"_s}) {
        files << old(u"in/"_s + name);
    }
    tree.addRule({u"001"_s, in, u""_s, u"txt"_s, u"7"_s, kDelete});
    {
        // The store refuses the row of c.txt, and with it the batch c.txt and d.txt.
        Connection connection(tree.values());
        connection.Execute(
            u"CREATE TRIGGER refuse BEFORE INSERT ON day_log "
            u"WHEN NEW.対象ファイル LIKE '%c.txt' "
            u"BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END"_s);
    }

    const RunOutcome outcome = run();

    EXPECT_TRUE(
        outcome.storageError.startsWith(u"データベースの処理に失敗しました（disk I/O error"_s))
        << outcome.storageError.toStdString();
    EXPECT_FALSE(QFile::exists(files[0]));
    EXPECT_FALSE(QFile::exists(files[1]));
    EXPECT_TRUE(QFile::exists(files[2]));
    EXPECT_TRUE(QFile::exists(files[3]));
    EXPECT_TRUE(QFile::exists(files[4]));
    EXPECT_EQ(tree.logRows().size(), 2);
}

TEST_F(MaintenanceRunTest, ADryRunChangesNothing) {
    tree.addLogRow({u"/x/old"_s, u"2003/01/01 00:00:00"_s, kDelete, u"2002/01/01 00:00:00"_s});
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    const QString a = old(u"in/a.txt"_s);
    tree.addRule({u"001"_s, in, out, u"txt"_s, u"7"_s, kMove});

    const RunOutcome outcome = run(u"0"_s, true);

    EXPECT_EQ(outcome.doneFiles, 1);
    EXPECT_EQ(recorder.files, QStringList{u"done "_s + a});  // would be done
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_TRUE(QDir(out).isEmpty());
    EXPECT_EQ(tree.logRows().size(), 1);
}

TEST_F(MaintenanceRunTest, AChainNeverDeletesAFileWhoseCopyFailedAndThePreviewShowsItHeld) {
    const QString logs = tree.dir(u"logs"_s);
    const QString archive = tree.dir(u"archive"_s);
    const QString backup = tree.dir(u"backup"_s);
    tree.addRule({u"001"_s, logs, archive, u"log"_s, u"7"_s, kMove});
    tree.addRule({u"002"_s, archive, backup, u"log"_s, u"14"_s, kCopy});
    tree.addRule({u"003"_s, archive, u""_s, u"log"_s, u"21"_s, kDelete});
    const QString copied = old(u"logs/copied.log"_s, "kept twice");
    const QString refused = old(u"logs/refused.log"_s, "the only copy");
    const QString blocked = old(u"logs/blocked.log"_s, "the only copy");
    // The model of the tree knows a copy fails where a folder takes the name; a full disk
    // only the run itself meets.
    tree.dir(u"backup/blocked.log"_s);
    fs.failCopyOf.insert("refused.log");

    std::atomic<qsizetype> planned{0};
    const RunPlan plan = planRun(tree.values(), fs, at(kRun), planned, false);
    ASSERT_EQ(plan.rules.size(), 3);
    QStringList held;
    for (const qsizetype file : plan.held) {
        held << plan.path(plan.rules[2], file);
    }
    EXPECT_EQ(held, QStringList{archive + u"/blocked.log"_s});
    EXPECT_EQ(plan.rules[2].fileCount - plan.rules[2].heldCount, 2);  // what rule 003 deletes

    const RunOutcome outcome = run();
    EXPECT_EQ(outcome.failures.size(), 2);
    EXPECT_EQ(outcome.heldFiles, 2);
    EXPECT_EQ(TempTree::read(archive + u"/refused.log"_s), "the only copy");
    EXPECT_EQ(TempTree::read(archive + u"/blocked.log"_s), "the only copy");
    EXPECT_FALSE(QFile::exists(archive + u"/copied.log"_s));
    EXPECT_EQ(TempTree::read(backup + u"/copied.log"_s), "kept twice");
    EXPECT_TRUE(recorder.files.contains(u"held "_s + archive + u"/refused.log"_s));
    EXPECT_EQ(tree.logRows(),
              (QList<QStringList>{row(archive + u"/blocked.log"_s, u"複写失敗"_s),
                                  row(archive + u"/copied.log"_s, kCopy),
                                  row(archive + u"/copied.log"_s, kDelete),
                                  row(archive + u"/refused.log"_s, u"複写失敗"_s),
                                  row(blocked, kMove), row(copied, kMove), row(refused, kMove)}));

    // The next run tries again, and with the backup whole the chain goes on.
    fs.failCopyOf.clear();
    run();
    EXPECT_EQ(TempTree::read(backup + u"/refused.log"_s), "the only copy");
    EXPECT_FALSE(QFile::exists(archive + u"/refused.log"_s));
}

TEST_F(MaintenanceRunTest, ADatabaseOfTheLastVersionKeepsWorkingAndItsOwnTablesArePruned) {
    const QString in = tree.dir(u"in"_s);
    const QString stays = old(u"in/stays.log"_s);
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, kDelete});
    const auto count = [&](const QString& sql) { return tree.select(sql).value(0).toInt(); };
    {
        // The run record as the last version left it: no identities, a run killed before the
        // check of the next, and runs older than the log keeps.
        Connection connection(tree.values());
        for (const QString& sql : {
                 u"CREATE TABLE quillon_run (id INTEGER PRIMARY KEY, program TEXT, started TEXT,"
                 u" finished TEXT, scheduled_minute TEXT, run_text TEXT, first_row INTEGER,"
                 u" rules TEXT, handled INTEGER, failed INTEGER, skipped INTEGER, message TEXT,"
                 u" unchecked INTEGER NOT NULL DEFAULT 1)"_s,
                 u"CREATE INDEX quillon_run_minute ON quillon_run (scheduled_minute)"_s,
                 u"CREATE TABLE quillon_failure (run_id INTEGER, path TEXT, reason TEXT)"_s,
                 u"CREATE INDEX quillon_failure_path ON quillon_failure (path)"_s,
                 u"INSERT INTO quillon_run VALUES (1, 'sweeprun', '2002-12-31T00:05:00Z',"
                 u" '2002-12-31T00:05:01Z', '2002-12-31T00:05:00Z', '2002/12/31 09:05:00', 0,"
                 u" '[]', 1, 1, 0, NULL, 0)"_s,
                 u"INSERT INTO quillon_failure VALUES (1, '/x/old.log', 'full')"_s,
                 u"INSERT INTO quillon_run VALUES (2, 'sweeprun', '2003-03-27T00:05:00Z',"
                 u" '2003-03-27T00:05:01Z', '2003-03-27T00:05:00Z', '2003/03/27 09:05:00', 0,"
                 u" '[]', 1, 1, 0, NULL, 0)"_s,
                 u"INSERT INTO quillon_failure VALUES (2, '/x/recent.log', 'full')"_s,
                 u"INSERT INTO quillon_run (id, program, started, run_text, first_row, rules)"
                 u" VALUES (3, 'sweeprun-batch', '2003-03-28T00:05:00Z', '2003/03/28 09:05:00',"
                 u" 0, '[{\"source\":\""_s +
                     in + u"\",\"destination\":\"\",\"process\":\"削除\"}]')"_s,
             }) {
            connection.Execute(sql);
        }
    }
    tree.addLogRow({u"/x/gone.log"_s, u"2003/01/01 00:00:00"_s, kDelete, u"2003/03/28 09:05:00"_s});
    tree.addLogRow({stays, u"2003/03/01 10:00:00"_s, kDelete, u"2003/03/28 09:05:00"_s});
    fs.beforeListing = [&] { ASSERT_TRUE(QFile::exists(stays)); };  // reconciled before this

    const RunOutcome outcome = run();
    EXPECT_TRUE(outcome.storageError.isEmpty()) << outcome.storageError.toStdString();
    EXPECT_FALSE(QFile::exists(stays));
    // The killed run's row of a file it never handled went; the handled one's stayed.
    EXPECT_EQ(tree.logRows(), (QList<QStringList>{row(stays, kDelete),
                                                  {u"/x/gone.log"_s, u"2003/01/01 00:00:00"_s,
                                                   kDelete, u"2003/03/28 09:05:00"_s}}));
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM quillon_run WHERE id = 1"_s), 0);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM quillon_failure"_s), 1);  // the recent run's
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM quillon_run"_s), 3);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM quillon_file WHERE device <> 0 AND inode <> 0"_s), 1);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM sweeprun"_s), 1);  // the rules are kept

    // Every table of Quillon's own forgets what the log forgets, whatever keeps failing; the
    // newest run before each stays for the status line.
    fs.beforeListing = nullptr;
    for (int day = 0; day < 3; ++day) {
        old(u"in/again.log"_s);
        Connection(tree.values())
            .Execute(u"UPDATE sweeprun SET 処理 = '複写', 先ディレクトリ = '"_s +
                     tree.dir(u"nowhere"_s) + u"'"_s);
        fs.failCopyOf.insert("again.log");
        MaintenanceRun maintenance(tree.values(), fs, &recorder);
        maintenance.EXEC_DEL(at(kRun).addDays(40 * day), u"30"_s);
    }
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM quillon_failure"_s), 2);
    EXPECT_LE(count(u"SELECT COUNT(*) FROM quillon_file"_s), 2);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM quillon_run"_s), 2);
}

TEST_F(MaintenanceRunTest, AStopAskedForEndsTheRunWithEveryTouchedFileLoggedAndNoOther) {
    const QString in = tree.dir(u"in"_s);
    QStringList files;
    for (int i = 0; i < 7; ++i) {
        files << tree.file(u"in/f%1.log"_s.arg(i), "x", at(u"2003/03/01 10:00:00"_s).addSecs(i));
    }
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, kDelete});
    tree.addRule({u"002"_s, tree.dir(u"other"_s), u""_s, u"log"_s, u"7"_s, kDelete});
    recorder.stop = [&] { return recorder.files.size() >= 2; };

    for (const bool dryRun : {true, false}) {
        recorder.files.clear();
        recorder.rules.clear();
        const RunOutcome outcome = run(u"30"_s, dryRun);
        EXPECT_TRUE(outcome.cancelled);
        // The batch logged before the stop is still handled; nothing after it, nor rule 002.
        EXPECT_EQ(recorder.files.size(), 4);
        EXPECT_EQ(recorder.rules, QStringList{u"001"_s});
    }
    QList<QStringList> rows;
    for (qsizetype i = 0; i < files.size(); ++i) {
        EXPECT_EQ(QFile::exists(files[i]), i >= 4);
        if (i < 4) {
            rows << row(files[i], kDelete, u"2003/03/01 10:00:0%1"_s.arg(i));
        }
    }
    EXPECT_EQ(tree.logRows(), rows);
}
