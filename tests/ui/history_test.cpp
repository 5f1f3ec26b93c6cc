// The history of runs, used as a person would: opened from 前回, a run chosen to read its rows,
// and taken back after the answer to the question.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include "schedule/schedule_store.h"
#include "support/window_test.h"
#include "ui/history_window.h"

using namespace Qt::StringLiterals;

TEST_F(WindowTest, TheHistoryShowsARunsRowsAndTakesItBackAfterAYes) {
    writeSchedule(tree.values(), kMonday9h05);
    const QString in = tree.dir(u"in"_s);
    const QString moved = tree.dir(u"moved"_s);
    tree.addRule({u"001"_s, in, moved, u"log"_s, u"7"_s, kMoveProcess});
    for (const QString& name : {u"a.log"_s, u"b.log"_s}) {
        tree.file(u"in/"_s + name, name.toUtf8(), at(u"2003/03/01 10:00:00"_s));
    }
    tree.addLogRow({u"/elsewhere/x.log"_s, u"2003/01/01 00:00:00"_s, kDeleteProcess,
                    u"2003/03/20 00:00:00"_s});  // a row of an older program's run
    Form_sweeprun& f = start();
    clock.time = at(u"2003/03/24 09:05:30"_s);
    tick();
    ASSERT_EQ(f.DataGrid2->model()->rowCount(), 3);

    QTest::mouseClick(f.LabelLast, Qt::LeftButton);  // 前回 leads there
    ASSERT_NE(f.History, nullptr);
    HistoryWindow& history = *f.History;
    ASSERT_TRUE(history.isVisible());
    ASSERT_EQ(history.List->rowCount(), 1);
    QStringList cells;
    for (int column = 0; column < history.List->columnCount(); ++column) {
        cells << history.List->item(0, column)->text();
    }
    EXPECT_EQ(cells, (QStringList{u"1"_s, u"2003/03/24 09:05:30"_s,
                                  QCoreApplication::applicationName(), u"完了 2 件"_s}));

    // Chosen, its rows alone are in the log list.
    const auto choose = [&](int row) {
        QWidget* cellsArea = history.List->viewport();
        QTest::mouseClick(cellsArea, Qt::LeftButton, {},
                          history.List->visualItemRect(history.List->item(row, 0)).center());
    };
    choose(0);
    EXPECT_EQ(f.DataGrid2->model()->rowCount(), 2);

    // 元に戻す works it out, then asks; "キャンセル" changes nothing.
    prompts.answer = false;
    QTest::mouseClick(history.UndoButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.messages.isEmpty(); }, 5000));
    EXPECT_EQ(prompts.messages, QStringList{u"実行 1 を元に戻しますか？\n元に戻す 2 件"_s});
    EXPECT_FALSE(QFile::exists(in + u"/a.log"_s));

    prompts.messages.clear();
    prompts.answer = true;
    QTest::mouseClick(history.UndoButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.messages.isEmpty(); }, 5000));
    waitForRun();
    EXPECT_EQ(TempTree::read(in + u"/a.log"_s), "a.log");
    EXPECT_EQ(TempTree::read(in + u"/b.log"_s), "b.log");
    EXPECT_TRUE(QDir(moved).isEmpty());
    EXPECT_TRUE(prompts.notices.isEmpty());
    // The undo is a run of its own, with its rows.
    ASSERT_EQ(history.List->rowCount(), 2);
    EXPECT_EQ(history.List->item(0, 3)->text(), u"完了 2 件"_s);
    choose(0);
    EXPECT_EQ(f.DataGrid2->model()->index(0, 2).data().toString(), u"移動取消"_s);

    history.close();  // the log list shows every run again
    EXPECT_EQ(f.DataGrid2->model()->rowCount(), 5);
}
