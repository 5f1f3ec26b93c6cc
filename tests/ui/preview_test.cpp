// The preview of the next run, used as a person would: opened, switched to now, cancelled,
// and the run started from it.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QSemaphore>
#include <QTest>
#include <QThreadPool>

#include "schedule/schedule_store.h"
#include "storage/connection.h"
#include "support/chained_trees.h"
#include "support/window_test.h"
#include "ui/preview_window.h"

using namespace Qt::StringLiterals;

namespace {

class PreviewTest : public WindowTest {
protected:
    // The window on the chained tree whose second rule deletes what the first moves in, on
    // Saturday 2003/03/29 09:05:07; the next scheduled minute is Monday's, two days later.
    Form_sweeprun& startOnChainedTree() {
        chainedTrees().front().build(tree);
        writeSchedule(tree.values(), kMonday9h05);
        clock.time = at(kChainRunAt);
        return start();
    }

    static void waitForPlan(PreviewWindow& preview) {
        QTRY_VERIFY_WITH_TIMEOUT(!preview.planning(), 5000);
    }

    // Each rule's row text, then its files' paths, relative to the tree.
    QStringList shown(const PreviewWindow& preview) {
        const PlanModel& model = preview.model();
        QStringList rows;
        for (int rule = 0; rule < model.rowCount(); ++rule) {
            const QModelIndex ruleRow = model.index(rule, 0);
            rows << model.index(rule, PlanModel::Process).data().toString() + u' ' +
                        model.index(rule, PlanModel::Count).data().toString();
            for (int file = 0; file < model.rowCount(ruleRow); ++file) {
                rows << u"  "_s + model.index(file, 0, ruleRow)
                                      .data()
                                      .toString()
                                      .mid(tree.path().size() + 1);
            }
        }
        return rows;
    }
};

}  // namespace

TEST_F(PreviewTest, ShowsTheNextRunOrANowRunAndRunsNowOnceConfirmed) {
    Form_sweeprun& f = startOnChainedTree();
    QTest::mouseClick(f.PreviewButton, Qt::LeftButton);
    ASSERT_NE(f.Preview, nullptr);
    PreviewWindow& preview = *f.Preview;
    EXPECT_TRUE(preview.isVisible());
    waitForPlan(preview);
    // By Monday y.log is old enough for the deletion too.
    EXPECT_EQ(preview.When->text(), u"03/31（月）09:05 の実行"_s);
    EXPECT_EQ(shown(preview),
              (QStringList{u"移動 2 件"_s, u"  a/x.log"_s, u"  a/y.log"_s, u"削除 3 件"_s,
                           u"  b/x.log"_s, u"  b/w.log"_s, u"  b/y.log"_s}));
    EXPECT_EQ(preview.Status->text(), u"計 5 件（9 バイト）"_s);

    preview.Basis->setFocus();
    QTest::keyClick(preview.Basis, Qt::Key_Down);  // 今
    waitForPlan(preview);
    EXPECT_EQ(preview.When->text(), u"今 09:05:07 に実行した場合"_s);
    EXPECT_EQ(shown(preview), (QStringList{u"移動 2 件"_s, u"  a/x.log"_s, u"  a/y.log"_s,
                                           u"削除 2 件"_s, u"  b/x.log"_s, u"  b/w.log"_s}));

    prompts.answer = false;
    QTest::mouseClick(preview.RunNowButton, Qt::LeftButton);
    // Asked over the preview, with the count it shows.
    EXPECT_EQ(prompts.messages, QStringList{u"今すぐ実行しますか？（計 4 件）"_s});
    EXPECT_EQ(prompts.askedOver, &preview);
    EXPECT_TRUE(QFile::exists(tree.path(u"a/x.log"_s)));
    EXPECT_TRUE(tree.logRows().isEmpty());

    prompts.answer = true;
    QTest::mouseClick(preview.RunNowButton, Qt::LeftButton);
    EXPECT_FALSE(preview.RunNowButton->isEnabled());  // one run at a time
    waitForRun();
    // What the preview showed is what the run did, logged and recorded as any run.
    EXPECT_FALSE(QFile::exists(tree.path(u"b/x.log"_s)));
    EXPECT_FALSE(QFile::exists(tree.path(u"b/w.log"_s)));
    EXPECT_TRUE(QFile::exists(tree.path(u"b/y.log"_s)));
    EXPECT_EQ(tree.logRows().size(), 4);
    EXPECT_EQ(f.LabelLast->text(), u"前回 03/29 09:05 完了 4 件"_s);
    EXPECT_EQ(f.LabelNext->text(), u"次回 03/31（月）09:05"_s);  // the schedule goes on
    // The preview now shows what is left.
    waitForPlan(preview);
    EXPECT_EQ(shown(preview), (QStringList{u"移動 0 件"_s, u"削除 0 件"_s}));
    EXPECT_TRUE(preview.RunNowButton->isEnabled());
}

TEST_F(PreviewTest, CancelStopsThePlanWhileTheWindowsGoOn) {
    QSemaphore listing;
    QSemaphore goOn;
    fs.beforeListing = [&] {  // the worker waits at its first folder
        listing.release();
        goOn.acquire();
    };
    Form_sweeprun& f = startOnChainedTree();
    QTest::keyClick(&f, Qt::Key_P, Qt::ControlModifier);
    ASSERT_NE(f.Preview, nullptr);
    PreviewWindow& preview = *f.Preview;
    ASSERT_TRUE(listing.tryAcquire(1, 5000));
    QTest::qWait(300);  // the running count is drawn meanwhile
    EXPECT_EQ(preview.Status->text(), u"計算中 0 件…"_s);
    EXPECT_TRUE(preview.planning());

    QTest::mouseClick(preview.CancelButton, Qt::LeftButton);
    EXPECT_FALSE(preview.planning());
    const QString cancelled = u"中止しました（再計算 F5 で計算し直します）"_s;
    EXPECT_EQ(preview.Status->text(), cancelled);
    EXPECT_FALSE(preview.CancelButton->isEnabled());
    EXPECT_FALSE(preview.RunNowButton->isEnabled());  // no plan is shown
    goOn.release(1000);
    QThreadPool::globalInstance()->waitForDone();
    QTest::qWait(50);  // whatever the worker still sent is dropped
    EXPECT_EQ(preview.Status->text(), cancelled);
    EXPECT_EQ(preview.model().rowCount(), 0);

    // F5 works it out again.
    fs.beforeListing = nullptr;
    QTest::keyClick(&preview, Qt::Key_F5);
    waitForPlan(preview);
    EXPECT_EQ(preview.Status->text(), u"計 5 件（9 バイト）"_s);
    EXPECT_TRUE(preview.RunNowButton->isEnabled());

    QTest::keyClick(&preview, Qt::Key_Escape);
    EXPECT_FALSE(preview.isVisible());
}

TEST_F(PreviewTest, ThePlanIsWorkedOutAgainWheneverWhatItShowsMayHaveChanged) {
    Form_sweeprun& f = startOnChainedTree();
    QTest::mouseClick(f.PreviewButton, Qt::LeftButton);
    PreviewWindow& preview = *f.Preview;
    preview.Basis->setFocus();
    QTest::keyClick(preview.Basis, Qt::Key_Down);  // 今
    waitForPlan(preview);
    EXPECT_EQ(preview.Status->text(), u"計 4 件（7 バイト）"_s);

    // A rule registered in the window.
    tree.file(u"a/z.txt"_s, "zz", at(u"2003/03/01 10:00:00"_s));
    QTest::mouseClick(f.Command7, Qt::LeftButton);
    QTest::keyClicks(f.Text1, tree.path(u"a"_s));
    QTest::keyClicks(f.Text3, u"txt"_s);
    QTest::keyClicks(f.Text2, u"1"_s);
    f.Option1[2]->setChecked(true);
    QTest::mouseClick(f.Command3, Qt::LeftButton);
    waitForPlan(preview);
    EXPECT_EQ(preview.model().rowCount(), 3);
    EXPECT_EQ(preview.Status->text(), u"計 5 件（9 バイト）"_s);

    // A rule deleted by another program: 今すぐ実行 shows the plan of the rules the run would
    // read before it asks anything.
    Connection(tree.values()).Execute(u"DELETE FROM sweeprun WHERE 順序 = '003'"_s);
    prompts.messages.clear();
    prompts.answer = false;
    QTest::mouseClick(preview.RunNowButton, Qt::LeftButton);
    EXPECT_TRUE(prompts.messages.isEmpty());
    waitForPlan(preview);
    EXPECT_EQ(preview.model().rowCount(), 2);
    QTest::mouseClick(preview.RunNowButton, Qt::LeftButton);
    EXPECT_EQ(prompts.messages, QStringList{u"今すぐ実行しますか？（計 4 件）"_s});

    // A run of the batch shows in the window at the next minute, in settings mode too: in the
    // status line, the log list and the plan.
    QProcess batch;
    batch.start(QStringLiteral(SWEEPRUN_BATCH),
                {u"--db"_s, tree.values().db_path, u"--at"_s, kChainRunAt});
    ASSERT_TRUE(batch.waitForFinished(30'000));
    ASSERT_EQ(batch.exitCode(), 0) << batch.readAllStandardError().toStdString();
    clock.time = clock.time.addSecs(60);
    f.followClock();
    EXPECT_EQ(f.LabelLast->text(), u"前回 03/29 09:05 完了 4 件"_s);
    EXPECT_EQ(f.DataGrid2->model()->rowCount(), 4);
    waitForPlan(preview);
    EXPECT_EQ(shown(preview), (QStringList{u"移動 0 件"_s, u"削除 0 件"_s}));
}
