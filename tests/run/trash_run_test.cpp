// Deletions into the trash: kept there 保管日数 days, then emptied, and only what runs put there.
#include <gtest/gtest.h>

#include <QFile>

#include "run/maintenance_run.h"
#include "run/run_plan.h"
#include "storage/connection.h"
#include "storage/settings.h"
#include "support/failing_file_system.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

const QDateTime kOld = at(u"2003/03/01 10:00:00"_s);

class TrashRunTest : public testing::Test {
protected:
    TrashRunTest() {
        tree.dir(u"data"_s);
        qputenv("XDG_DATA_HOME", QFile::encodeName(tree.path(u"data"_s)));
        in = tree.dir(u"in"_s);
        tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, kDeleteProcess});
    }
    ~TrashRunTest() override { qunsetenv("XDG_DATA_HOME"); }

    RunOutcome run(const QString& when, RunMode mode = RunMode::Real) {
        PosixFileSystem fs;  // its home trash is the tree's
        return MaintenanceRun(tree.values(), fs, nullptr, mode).EXEC_DEL(at(when), u"30"_s);
    }
    void keepDays(const QString& days) {
        Connection connection(tree.values());
        Settings::write(connection, Settings::kTrashDays, days);
    }
    QString trashed(const QString& name) const { return tree.path(u"data/Trash/files/"_s + name); }

    TempTree tree;
    QString in;
};

}  // namespace

TEST_F(TrashRunTest, DeletedFilesWaitInTheTrashForTheDaysKeptThenOnlyTheRunsOwnGo) {
    keepDays(u"7"_s);
    const QString a = tree.file(u"in/a.log"_s, "a", kOld);
    const QString b = tree.file(u"in/b.log"_s, "b", kOld);
    const RunOutcome first = run(u"2003/03/29 09:05:07"_s);
    ASSERT_TRUE(first.failures.isEmpty()) << first.failures[0].message().toStdString();
    EXPECT_TRUE(first.trashes);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(TempTree::read(trashed(u"a.log"_s)), "a");
    EXPECT_TRUE(QFile::exists(tree.path(u"data/Trash/info/a.log.trashinfo"_s)));
    EXPECT_EQ(tree.logRows().size(), 2);  // logged as deletions, like any
    // The user's own file in the trash, and one a run put there that another file replaced.
    const QString mine = tree.file(u"data/Trash/files/mine.txt"_s, "mine", kOld);
    QFile::remove(trashed(u"b.log"_s));
    tree.file(u"data/Trash/files/b.log"_s, "restored and trashed again by hand", kOld);

    for (const QString& when : {u"2003/04/05 09:05:07"_s, u"2003/04/05 09:05:08"_s}) {
        tree.file(u"in/c.log"_s, "c", kOld);  // each run has something of its own to delete
        ASSERT_TRUE(run(when).failures.isEmpty()) << when.toStdString();
        const bool emptied = when.endsWith(u"08"_s);  // more than 7 days after the first
        EXPECT_EQ(QFile::exists(trashed(u"a.log"_s)), !emptied) << when.toStdString();
        EXPECT_EQ(QFile::exists(tree.path(u"data/Trash/info/a.log.trashinfo"_s)), !emptied);
    }
    EXPECT_EQ(TempTree::read(trashed(u"b.log"_s)), "restored and trashed again by hand");
    EXPECT_EQ(TempTree::read(mine), "mine");
    EXPECT_TRUE(QFile::exists(trashed(u"c.log"_s)));  // the newest of its name waits its days
    EXPECT_EQ(tree.select(u"SELECT name FROM quillon_trash ORDER BY id"_s),
              (QStringList{u"c.log"_s, u"c.log_2"_s}));
}

// 保管日数 edited outside the window into something no plain number of 0 or more stops the run
// before anything: read loosely it would be 0, and the deletions would be for good.
TEST_F(TrashRunTest, AStoredDaysThatIsNoNumberStopsTheRunAndZeroDeletesForGood) {
    const QString a = tree.file(u"in/a.log"_s, "a", kOld);
    for (const QString& days : {u"abc"_s, u"-1"_s, u"７"_s}) {
        keepDays(days);
        for (const RunMode mode : {RunMode::Dry, RunMode::Real}) {
            EXPECT_EQ(run(u"2003/03/29 09:05:07"_s, mode).refusedRules,
                      u"保管日数の設定が正しくありません（保管日数「"_s + days + u"」）"_s);
        }
        EXPECT_TRUE(QFile::exists(a));
    }
    keepDays(u"0"_s);
    EXPECT_FALSE(run(u"2003/03/29 09:05:07"_s).trashes);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_FALSE(QFile::exists(tree.path(u"data/Trash"_s)));
}

// A copy or move that replaces a file at its target leaves that file in the trash, and the
// preview says so; one that fails leaves it where it was, and nothing of it in the trash.
TEST_F(TrashRunTest, AFileACopyOrMoveReplacesWaitsInTheTrash) {
    keepDays(u"7"_s);
    const QString out = tree.dir(u"out"_s);
    const struct {
        QString name;
        QString process;
        bool copyFails;
    } cases[] = {
        {u"copied.log"_s, kCopyProcess, false},
        {u"moved.log"_s, kMoveProcess, false},
        {u"failed.log"_s, kCopyProcess, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        Connection(tree.values()).Execute(u"DELETE FROM sweeprun"_s);
        tree.addRule({u"001"_s, in, out, u"log"_s, u"7"_s, c.process});
        tree.file(u"in/"_s + c.name, "new", kOld);
        const QString target = tree.file(u"out/"_s + c.name, "older", kOld.addDays(-1));
        FailingFileSystem fs;
        if (c.copyFails) {
            fs.failCopyOf.insert(QFile::encodeName(c.name));
        }
        std::atomic<qsizetype> planned{0};
        const RunPlan plan =
            planRun(tree.values(), fs, at(u"2003/03/29 09:05:07"_s), planned, false);
        EXPECT_EQ(plan.replacing.size(), 1);

        const RunOutcome outcome =
            MaintenanceRun(tree.values(), fs).EXEC_DEL(at(u"2003/03/29 09:05:07"_s), u"30"_s);
        EXPECT_EQ(outcome.failures.size(), c.copyFails ? 1 : 0);
        EXPECT_EQ(TempTree::read(target), c.copyFails ? "older" : "new");
        EXPECT_EQ(QFile::exists(trashed(c.name)), !c.copyFails);
        EXPECT_EQ(QFile::exists(tree.path(u"data/Trash/info/"_s + c.name + u".trashinfo"_s)),
                  !c.copyFails);
        if (!c.copyFails) {
            EXPECT_EQ(TempTree::read(trashed(c.name)), "older");
        }
        QFile::remove(in + u'/' + c.name);  // what a copy left is no business of the next case
    }
    EXPECT_EQ(tree.select(u"SELECT name FROM quillon_trash ORDER BY id"_s),
              (QStringList{u"copied.log"_s, u"moved.log"_s}));
}
