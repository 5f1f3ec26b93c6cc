// Taking a run back: every file to where the run found it, nothing overwritten, nothing removed
// that the run did not make.
#include "run/undo_run.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "storage/connection.h"
#include "storage/settings.h"
#include "support/run_recorder.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

const QDateTime kOld = at(u"2003/03/01 10:00:00"_s);
const QString kRun = u"2003/03/29 09:05:07"_s;

class UndoRunTest : public testing::Test {
protected:
    UndoRunTest() {
        tree.dir(u"data"_s);
        qputenv("XDG_DATA_HOME", QFile::encodeName(tree.path(u"data"_s)));
    }
    ~UndoRunTest() override { qunsetenv("XDG_DATA_HOME"); }

    void keepDays(const QString& days) {
        Connection connection(tree.values());
        Settings::write(connection, Settings::kTrashDays, days);
    }
    // Runs the rules now stored, and returns the run's number.
    qint64 run() {
        PosixFileSystem fs;
        MaintenanceRun(tree.values(), fs).EXEC_DEL(at(kRun), u"30"_s);
        return tree.select(u"SELECT MAX(id) FROM quillon_run"_s).first().toLongLong();
    }
    UndoOutcome undo(qint64 id, RunMode mode = RunMode::Real, qsizetype batch = 2) {
        recorder.files.clear();
        PosixFileSystem fs;
        UndoRun undo(tree.values(), fs, &recorder, mode);
        undo.setBatchSize(batch);  // several batches even with a handful of files
        return undo.undo(id, at(u"2003/03/30 08:00:00"_s));
    }

    TempTree tree;
    RunRecorder recorder;
};

}  // namespace

// Copies are removed and what they replaced comes back, moves go back, trashed deletions come
// back from the trash; the dry undo tells exactly that first, and a second undo does nothing.
TEST_F(UndoRunTest, EveryFileComesBackAndASecondUndoChangesNothing) {
    keepDays(u"7"_s);
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    const QString moved = tree.dir(u"moved"_s);
    tree.addRule({u"001"_s, in, out, u"log"_s, u"7"_s, kCopyProcess});
    tree.addRule({u"002"_s, in, moved, u"txt"_s, u"7"_s, kMoveProcess});
    tree.addRule({u"003"_s, in, u""_s, u"log"_s, u"7"_s, kDeleteProcess});
    tree.file(u"in/a.log"_s, "a", kOld);
    tree.file(u"in/r.log"_s, "r", kOld);
    tree.file(u"in/x.txt"_s, "x", kOld);
    tree.file(u"out/r.log"_s, "replaced by the copy", kOld.addDays(-9));
    const auto files = [&] {
        QStringList found;
        for (const QString& path : {u"in/a.log"_s, u"in/r.log"_s, u"in/x.txt"_s, u"out/a.log"_s,
                                    u"out/r.log"_s, u"moved/x.txt"_s}) {
            found << path + u'=' + QString::fromUtf8(TempTree::read(tree.path(path)));
        }
        return found;
    };
    const QStringList original = files();
    const qint64 id = run();
    const QStringList afterRun = files();
    ASSERT_NE(afterRun, original);

    const UndoOutcome dry = undo(id, RunMode::Dry);
    const QStringList planned = recorder.files;
    EXPECT_EQ(files(), afterRun);  // nothing changed by it
    EXPECT_EQ(dry.doneFiles, 5);

    const UndoOutcome real = undo(id);
    EXPECT_TRUE(real.failures.isEmpty());
    EXPECT_EQ(real.doneFiles, 5);
    EXPECT_EQ(recorder.files, planned);
    EXPECT_EQ(files(), original);
    EXPECT_TRUE(QDir(tree.path(u"data/Trash/files"_s)).isEmpty());
    EXPECT_EQ(
        tree.select(u"SELECT 処理内容 FROM day_log WHERE 処理日時 = '2003/03/30 08:00:00'"
                    u" ORDER BY rowid"_s),
        (QStringList{u"削除取消"_s, u"削除取消"_s, u"移動取消"_s, u"複写取消"_s, u"複写取消"_s}));
    EXPECT_EQ(tree.select(u"SELECT undoes FROM quillon_run ORDER BY id DESC LIMIT 1"_s),
              QStringList{QString::number(id)});

    const UndoOutcome again = undo(id);
    EXPECT_EQ(again.doneFiles, 0);
    EXPECT_TRUE(again.failures.isEmpty());
    EXPECT_EQ(files(), original);
}

// A file moved and then trashed by a later rule comes back in two steps, out of the trash and
// then to its first folder; the dry undo sees the first step land and counts the second, and a
// second undo finds nothing more to do.
TEST_F(UndoRunTest, AChainComesBackStepByStepAndTheDryUndoSaysSo) {
    keepDays(u"7"_s);
    const QString in = tree.dir(u"in"_s);
    const QString moved = tree.dir(u"moved"_s);
    tree.addRule({u"001"_s, in, moved, u"txt"_s, u"7"_s, kMoveProcess});
    tree.addRule({u"002"_s, moved, u""_s, u"txt"_s, u"7"_s, kDeleteProcess});
    tree.file(u"in/x.txt"_s, "x", kOld);
    const qint64 id = run();
    ASSERT_FALSE(QFile::exists(tree.path(u"in/x.txt"_s)));

    EXPECT_EQ(undo(id, RunMode::Dry).doneFiles, 2);
    const UndoOutcome real = undo(id);
    EXPECT_TRUE(real.failures.isEmpty());
    EXPECT_EQ(real.doneFiles, 2);
    EXPECT_EQ(TempTree::read(tree.path(u"in/x.txt"_s)), "x");
    EXPECT_EQ(tree.select(u"SELECT 処理内容 FROM day_log WHERE 処理内容 LIKE '%取消%'"
                          u" ORDER BY rowid"_s),
              (QStringList{u"削除取消"_s, u"移動取消"_s}));

    const UndoOutcome again = undo(id);
    EXPECT_EQ(again.doneFiles, 0);
    EXPECT_TRUE(again.failures.isEmpty());
    EXPECT_EQ(TempTree::read(tree.path(u"in/x.txt"_s)), "x");
}

// What is not exactly as the run left it stays, and says why: a file deleted for good, a copy
// or a moved file changed since, a source name taken again by another file.
TEST_F(UndoRunTest, NothingIsOverwrittenAndOnlyWhatTheRunLeftIsTouched) {
    keepDays(u"0"_s);
    const QString in = tree.dir(u"in"_s);
    const QString moved = tree.dir(u"moved"_s);
    const QString copies = tree.dir(u"copies"_s);
    tree.addRule({u"001"_s, in, moved, u"txt"_s, u"7"_s, kMoveProcess});
    tree.addRule({u"002"_s, in, copies, u"log"_s, u"7"_s, kCopyProcess});
    tree.addRule({u"003"_s, in, u""_s, u"log"_s, u"7"_s, kDeleteProcess});
    tree.file(u"in/gone.log"_s, "gone", kOld);
    tree.file(u"in/changed.txt"_s, "changed", kOld);
    tree.file(u"in/taken.txt"_s, "taken", kOld);
    const qint64 id = run();
    tree.file(u"moved/changed.txt"_s, "changed since the run", kOld);
    tree.file(u"copies/gone.log"_s, "the copy, written to since", kOld);
    tree.file(u"in/taken.txt"_s, "a new file of that name", kOld);

    const UndoOutcome outcome = undo(id);
    QStringList reasons;
    for (const FileFailure& failure : outcome.failures) {
        reasons << undoFailureText(failure).mid(in.size() + 1);
    }
    EXPECT_EQ(reasons,
              (QStringList{u"gone.log を元に戻せません（ごみ箱を使わずに削除されました）"_s,
                           u"gone.log を元に戻せません（実行の後に変更されています）"_s,
                           u"taken.txt を元に戻せません（元の場所に別のファイルがあります）"_s,
                           u"changed.txt を元に戻せません（実行の後に変更されています）"_s}));
    EXPECT_EQ(outcome.goneForGood, 1);
    EXPECT_EQ(TempTree::read(tree.path(u"copies/gone.log"_s)), "the copy, written to since");
    EXPECT_EQ(TempTree::read(tree.path(u"in/taken.txt"_s)), "a new file of that name");
    EXPECT_EQ(TempTree::read(tree.path(u"moved/taken.txt"_s)), "taken");
    EXPECT_EQ(TempTree::read(tree.path(u"moved/changed.txt"_s)), "changed since the run");
    // Found as the run left it, the moved file is logged as taken back, then as failed once its
    // source name turns out taken: the log ends as it would had the name been seen first.
    EXPECT_EQ(tree.select(u"SELECT 処理内容 FROM day_log WHERE 対象ファイル LIKE '%taken.txt'"
                          u" ORDER BY rowid"_s),
              (QStringList{u"移動"_s, u"移動取消失敗"_s}));
    EXPECT_FALSE(QFile::exists(tree.path(u"in/changed.txt"_s)));
    EXPECT_EQ(undo(id + 99).missing, true);
}

// An undo killed half-way leaves every file either back or where the run left it; taken back
// again, the rest comes back and nothing is taken back twice.
TEST_F(UndoRunTest, AnUndoKilledHalfWayFinishesWhenTakenBackAgain) {
    keepDays(u"0"_s);
    const QString in = tree.dir(u"in"_s);
    const QString moved = tree.dir(u"moved"_s);
    tree.addRule({u"001"_s, in, moved, u"log"_s, u"7"_s, kMoveProcess});
    QStringList names;
    for (int i = 0; i < 6; ++i) {
        names << u"f%1.log"_s.arg(i);
        tree.file(u"in/"_s + names.last(), names.last().toUtf8(), kOld);
    }
    const qint64 id = run();
    const pid_t child = fork();
    if (child == 0) {
        recorder.afterFile = [](const FileReport&) {
            static int files = 0;
            if (++files == 3) {
                _exit(0);  // killed after its third file
            }
        };
        undo(id, RunMode::Real, 1);
        _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(QDir(in).entryList(QDir::Files).size(), 3);
    // Rows are committed a batch ahead of the files, not all before the first: a killed undo
    // leaves a row claiming a file it never reached for at most the batch under way.
    EXPECT_LE(
        tree.select(u"SELECT COUNT(*) FROM day_log WHERE 処理内容 = '移動取消'"_s).first().toInt(),
        4);

    const UndoOutcome rest = undo(id);
    EXPECT_TRUE(rest.failures.isEmpty());
    EXPECT_EQ(rest.doneFiles, 3);
    for (const QString& name : names) {
        EXPECT_EQ(TempTree::read(in + u'/' + name), name.toUtf8());
    }
    EXPECT_TRUE(QDir(moved).isEmpty());
}
