#include "ui/form_sweeprun.h"

#include <gtest/gtest.h>

#include <clocale>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QScreen>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "run/run_notice.h"
#include "schedule/schedule_store.h"
#include "storage/connection.h"
#include "storage/run_lock.h"
#include "support/temp_tree.h"
#include "support/window_test.h"

using namespace Qt::StringLiterals;

namespace {

class FormTest : public WindowTest {
protected:
    QList<QWidget*> switched() {
        Form_sweeprun& f = *form;
        QList<QWidget*> widgets = {f.Frame1,   f.Frame2,   f.Frame3,   f.Frame4,   f.Frame5,
                                   f.Frame6,   f.Frame8,   f.Frame9,   f.Frame11,  f.Frame12,
                                   f.Frame13,  f.Frame14,  f.Combo1,   f.Combo2,   f.Text2,
                                   f.Text3,    f.Text4,    f.Command1, f.Command2, f.Command3,
                                   f.Command4, f.Command5, f.DataGrid1};
        widgets << QList<QWidget*>(f.Check1.begin(), f.Check1.end())
                << QList<QWidget*>(f.Option1.begin(), f.Option1.end());
        return widgets;
    }

    void expectRunMode(bool run) {
        EXPECT_EQ(form->Timer1->isActive(), run);
        EXPECT_EQ(form->Command7->isEnabled(), run);
        for (QWidget* widget : switched()) {
            EXPECT_EQ(widget->isEnabled(), !run) << widget->objectName().toStdString();
        }
        // Never switched: the log stays scrollable in both modes.
        EXPECT_TRUE(form->Frame7->isEnabled());
        EXPECT_TRUE(form->Frame10->isEnabled());
        EXPECT_TRUE(form->DataGrid2->isEnabled());
    }
};

QString rawWeekdays(const ModuleValues& values) {
    Connection connection(values);
    QSqlQuery query(connection.database());
    query.exec(u"SELECT 曜日 FROM day_set"_s);
    return query.next() ? query.value(0).toString() : u"<no row>"_s;
}

}  // namespace

TEST_F(FormTest, EveryControlStandsWithItsCaptionAndColour) {
    Form_sweeprun& f = start();
    EXPECT_EQ(f.windowTitle(), u"Quillon V20030329"_s);
    EXPECT_FALSE(f.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));  // it cannot grow
    const QList<std::pair<QGroupBox*, QString>> groups = {
        {f.Frame1, u"元ディレクトリ"_s}, {f.Frame2, u"保守データ設定"_s},
        {f.Frame3, u"実行曜日"_s},       {f.Frame4, u"保守スケジュール設定"_s},
        {f.Frame5, u"実行時"_s},         {f.Frame6, u"実行分"_s},
        {f.Frame7, u"オペレーション"_s}, {f.Frame8, u"拡張子"_s},
        {f.Frame9, u"残存日数"_s},       {f.Frame10, u"実行ログ"_s},
        {f.Frame11, u"ログ残存日数"_s},  {f.Frame12, u"先ディレクトリ"_s},
        {f.Frame13, u"処理"_s},          {f.Frame14, u"順序"_s}};
    for (const auto& [group, title] : groups) {
        EXPECT_EQ(group->title(), title);
    }
    const QList<std::pair<QAbstractButton*, QString>> buttons = {
        {f.Command1, u"選択"_s},     {f.Command2, u"実行"_s},   {f.Command3, u"登録"_s},
        {f.Command4, u"削除"_s},     {f.Command5, u"選択"_s},   {f.Command7, u"設定"_s},
        {f.ChangeButton, u"変更"_s}, {f.Option1[0], u"複写"_s}, {f.Option1[1], u"移動"_s},
        {f.Option1[2], u"削除"_s},   {f.Check1[0], u"月"_s},    {f.Check1[1], u"火"_s},
        {f.Check1[2], u"水"_s},      {f.Check1[3], u"木"_s},    {f.Check1[4], u"金"_s},
        {f.Check1[5], u"土"_s},      {f.Check1[6], u"日"_s}};
    for (const auto& [button, caption] : buttons) {
        EXPECT_EQ(button->text(), caption);
    }
    EXPECT_EQ(f.Check1[4]->palette().color(QPalette::WindowText),
              f.palette().color(QPalette::WindowText));
    EXPECT_EQ(f.Combo1->count(), 24);
    EXPECT_EQ(f.Combo1->itemText(7), u"07"_s);
    EXPECT_EQ(f.Combo2->count(), 60);
    EXPECT_EQ(f.Combo2->itemText(59), u"59"_s);
    EXPECT_EQ(f.Timer1->timerType(), Qt::PreciseTimer);
    // The outer frame takes the screen's height, and the log group a third of it.
    const int screenHeight = f.screen()->geometry().height();
    EXPECT_NEAR(f.frameGeometry().height(), screenHeight, 1);
    EXPECT_NEAR(f.Frame10->height(), screenHeight / 3.0, 1);
}

TEST_F(FormTest, TabAndShiftTabReachEveryControlInTheDesignedOrderAndLeaveTheLists) {
    tree.addRule({u"001"_s, u"/a"_s, u"/b"_s, u"txt"_s, u"7"_s, kCopyProcess});
    tree.addLogRow({u"/a/x.txt"_s, u"2003/01/01 00:00:00"_s, kCopyProcess, u"x"_s});
    Form_sweeprun& f = start();  // settings mode: every control takes the focus
    // The three options are one stop, the arrow keys choose among them.
    const QList<QWidget*> expected = {
        f.Command2,  f.PreviewButton, f.Command7,  f.DataGrid2,  f.Check1[0],    f.Check1[1],
        f.Check1[2], f.Check1[3],     f.Check1[4], f.Check1[5],  f.Check1[6],    f.Combo1,
        f.Combo2,    f.Text6,         f.Text4,     f.LoginStart, f.Text1,        f.Command1,
        f.Text3,     f.Text2,         f.DataGrid1, f.Command3,   f.ChangeButton, f.Command4,
        f.Text5,     f.Command5,      f.Option1[0]};
    const auto focused = [] {
        QWidget* widget = QApplication::focusWidget();
        // An editable box's own line edit stands for the box.
        return widget != nullptr && qobject_cast<QComboBox*>(widget->parentWidget()) != nullptr
                   ? widget->parentWidget()
                   : widget;
    };
    f.Command2->setFocus();
    for (const Qt::KeyboardModifiers direction : {Qt::NoModifier, Qt::ShiftModifier}) {
        QList<QWidget*> visited = {focused()};
        for (qsizetype i = 1; i <= expected.size(); ++i) {  // round to the start again
            QTest::keyClick(QApplication::focusWidget(),
                            direction == Qt::NoModifier ? Qt::Key_Tab : Qt::Key_Backtab, direction);
            visited << focused();
        }
        QList<QWidget*> order = expected;
        if (direction == Qt::ShiftModifier) {
            std::reverse(order.begin() + 1, order.end());
        }
        EXPECT_EQ(visited, order << f.Command2);
    }
}

TEST_F(FormTest, StartingWithoutAScheduleShowsOneMessageAndStaysInSettings) {
    bool shownOverTheWindow = false;
    prompts.onMessage = [&] { shownOverTheWindow = form->isVisible(); };
    Form_sweeprun& f = start();
    EXPECT_EQ(prompts.messages, QStringList{u"実行時は数値で入力してください"_s});
    EXPECT_TRUE(shownOverTheWindow);
    EXPECT_EQ(f.LabelNext->text(), u"設定中"_s);
    EXPECT_FALSE(f.Timer1->isActive());
    for (QWidget* widget : switched()) {
        EXPECT_TRUE(widget->isEnabled()) << widget->objectName().toStdString();
    }
    EXPECT_TRUE(f.Command7->isEnabled());  // the window as created
}

TEST_F(FormTest, StartingWithAStoredScheduleEntersRunModeAndKeepsIt) {
    writeSchedule(tree.values(), {u"月水金"_s, u"7"_s, u"30"_s, u"10"_s});
    start();
    EXPECT_TRUE(prompts.messages.isEmpty());
    expectRunMode(true);
    EXPECT_EQ(form->Combo1->currentText(), u"07"_s);
    const Schedule stored = *readStoredSchedule(tree.values());
    EXPECT_EQ(stored.weekdays, u"月水金"_s);
    EXPECT_EQ(stored.hour, u"07"_s);

    form->Command7_Click();
    expectRunMode(false);
    form->fnc_set(u"Off"_s);
    expectRunMode(true);
    form->fnc_set(u"ON"_s);
    expectRunMode(false);
    form->fnc_set(u"off"_s);
    expectRunMode(true);
    form->fnc_set(u"anything"_s);
    expectRunMode(false);
}

TEST_F(FormTest, ScheduleChecksReportTheFirstFailureAndFocusItsField) {
    writeSchedule(tree.values(), kMonday9h05);
    Form_sweeprun& f = start();
    f.Command7_Click();
    struct Case {
        QString hour, minute, logDays, trashDays, message;
        QWidget* focus;
    };
    const Case cases[] = {
        // One failure per field: the checks themselves and their order are the schedule's, and
        // 保管日数 is checked last, as the log retention is.
        {u""_s, u"75"_s, u"-1"_s, u"x"_s, u"実行時は数値で入力してください"_s, f.Combo1},
        {u"09"_s, u"75"_s, u"0"_s, u"x"_s, u"実行分は０～５９の数値で入力してください"_s, f.Combo2},
        {u"09"_s, u"05"_s, u"-1"_s, u"x"_s, u"ログ残存日数は０以上の数値で入力してください"_s,
         f.Text4},
        {u"09"_s, u"05"_s, u"30"_s, u"x"_s, u"保管日数は数値で入力してください"_s, f.Text6},
        {u"09"_s, u"05"_s, u"30"_s, u"-2"_s, u"保管日数は０以上の数値で入力してください"_s,
         f.Text6},
    };
    EXPECT_EQ(f.Text6->text(), u"0"_s);  // none stored: deletions are for good
    for (const Case& c : cases) {
        prompts.messages.clear();
        f.Combo1->setEditText(c.hour);
        f.Combo2->setEditText(c.minute);
        f.Text4->setText(c.logDays);
        f.Text6->setText(c.trashDays);
        f.Command2_Click();
        EXPECT_EQ(prompts.messages, QStringList{c.message});
        EXPECT_TRUE(c.focus->hasFocus()) << c.message.toStdString();
        EXPECT_FALSE(f.Timer1->isActive());
        EXPECT_TRUE(f.Command2->isEnabled());
    }
    EXPECT_EQ(readStoredSchedule(tree.values())->hour, u"09"_s);  // nothing stored

    // No weekday: stored as one space, read back as none.
    for (QCheckBox* box : f.Check1) {
        box->setChecked(false);
    }
    f.Combo1->setEditText(u"7"_s);
    f.Combo2->setEditText(u"59"_s);
    f.Text4->setText(u"0"_s);
    f.Text6->clear();
    QTest::keyClicks(f.Text6, u"14"_s);
    f.Command2_Click();
    expectRunMode(true);
    EXPECT_EQ(readTrashDays(tree.values()), u"14"_s);  // Quillon's own setting, apart
    EXPECT_EQ(rawWeekdays(tree.values()), u" "_s);     // stored as one space, never empty
    EXPECT_EQ(f.schedule().weekdays, u""_s);
    EXPECT_EQ(f.Combo1->currentText(), u"07"_s);
}

TEST_F(FormTest, ReadingAnEmptyScheduleKeepsWhatTheFormHeld) {
    writeSchedule(tree.values(), kMonday9h05);
    Form_sweeprun& f = start();
    {
        Connection connection(tree.values());
        connection.Execute(u"DELETE FROM day_set"_s);
    }
    f.set_read();
    EXPECT_EQ(f.schedule().hour, u"09"_s);
    EXPECT_EQ(f.Combo2->currentText(), u"05"_s);
    EXPECT_EQ(f.Text4->text(), u"30"_s);
    EXPECT_TRUE(f.Check1[0]->isChecked());
    EXPECT_FALSE(f.Check1[1]->isChecked());
}

TEST_F(FormTest, TheTimerRunsTheMaintenanceAtTheScheduledMinuteOnly) {
    writeSchedule(tree.values(), kMonday9h05);
    const QString in = tree.dir(u"in"_s);
    const QString file = tree.file(u"in/a.log"_s, "x", at(u"2003/03/01 10:00:00"_s));
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, u"削除"_s});
    Form_sweeprun& f = start();

    for (const QString& time : {u"2003/03/24 09:06:00"_s, u"2003/03/25 09:05:30"_s}) {
        clock.time = at(time);
        tick();
        EXPECT_TRUE(QFile::exists(file)) << time.toStdString();
    }
    EXPECT_EQ(f.DataGrid2->model()->rowCount(), 0);

    clock.time = at(u"2003/03/24 09:05:30"_s);  // a Monday
    prompts.onMessage = nullptr;
    f.Timer1_Timer();
    EXPECT_EQ(f.Command7->text(), u"実行中"_s);
    EXPECT_EQ(f.LabelNext->text(), u"実行中 0 件"_s);  // and, as it goes, how far it is
    waitForRun();
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.Command7->text(), u"設定"_s);
    EXPECT_TRUE(f.Command7->isEnabled());
    ASSERT_EQ(f.DataGrid2->model()->rowCount(), 1);
    EXPECT_EQ(f.DataGrid2->model()->index(0, 0).data().toString(), in + u"/a.log"_s);

    // The minute is served: a clock stepped back into it runs nothing again.
    const QString later = tree.file(u"in/b.log"_s, "x", at(u"2003/03/01 10:00:00"_s));
    clock.time = at(u"2003/03/24 09:05:10"_s);
    tick();
    EXPECT_TRUE(QFile::exists(later));
    EXPECT_TRUE(f.Timer1->isActive());

    // The next Monday, started by the window's own timer: its interval shortened, nothing else.
    clock.time = at(u"2003/03/31 09:05:30"_s);
    f.Timer1->setInterval(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(later) && !f.running(); }, 1000));
    EXPECT_EQ(f.DataGrid2->model()->rowCount(), 2);
    EXPECT_TRUE(f.Timer1->isActive());
}

TEST_F(FormTest, TheMinuteTimerFiresAsEachMinuteBeginsWhereverTheClockIsStepped) {
    writeSchedule(tree.values(), kMonday9h05);
    const QString in = tree.dir(u"in"_s);
    const QString file = tree.file(u"in/a.log"_s, "x", at(u"2003/03/01 10:00:00"_s));
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, u"削除"_s});
    clock.time = at(u"2003/03/24 09:04:30"_s).addMSecs(500);  // a Monday
    Form_sweeprun& f = start();
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.Timer1->interval(), 29'600);

    // Stepped forward into the scheduled minute: the tick comes now, not at the old time.
    clock.time = at(u"2003/03/24 09:05:20"_s);
    f.followClock();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(file) && !f.running(); }, 1000));
    EXPECT_EQ(f.Timer1->interval(), 40'100);

    // Stepped back: the next tick is set for the clock's next minute, and the served minute is
    // not run again.
    const QString later = tree.file(u"in/b.log"_s, "x", at(u"2003/03/01 10:00:00"_s));
    clock.time = at(u"2003/03/24 09:04:50"_s);
    f.followClock();
    QTest::qWait(20);
    EXPECT_EQ(f.Timer1->interval(), 10'100);
    clock.time = at(u"2003/03/24 09:05:00"_s).addMSecs(100);
    tick();
    EXPECT_TRUE(QFile::exists(later));
    EXPECT_EQ(f.Timer1->interval(), 60'000);
}

TEST_F(FormTest, AMissingDirectoryOrABadStoredRuleStopsTheScheduleAfterTheLogListIsShown) {
    writeSchedule(tree.values(), kMonday9h05);
    const QString in = tree.dir(u"in"_s);
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, u"削除"_s});
    const struct {
        QStringList rule;
        QString message;
        int rowsDone;
        QString time;  // a scheduled minute of its own: a served one is not run again
    } cases[] = {
        {{u"002"_s, tree.path(u"gone"_s), u""_s, u"log"_s, u"7"_s, u"削除"_s},
         u"順序　002　の　"_s + tree.path(u"gone"_s) +
             u" が存在しません。正しく設定を行なってください"_s,
         1,
         u"2003/03/24 09:05:30"_s},
        // Edited outside the window: read loosely it would be 0 days. Nothing runs at all.
        {{u"002"_s, in, u""_s, u"log"_s, u"７"_s, u"削除"_s},
         u"順序　002　の設定が正しくありません（残存日数「７」）"_s,
         0,
         u"2003/03/31 09:05:30"_s},
    };
    for (const auto& c : cases) {
        Connection(tree.values()).Execute(u"DELETE FROM day_log"_s);
        Connection(tree.values()).Execute(u"DELETE FROM sweeprun WHERE 順序 = '002'"_s);
        tree.file(u"in/a.log"_s, "x", at(u"2003/03/01 10:00:00"_s));
        tree.addRule(c.rule);
        Form_sweeprun& f = start();
        ASSERT_EQ(f.DataGrid2->model()->rowCount(), 0);
        int rowsWhenTold = -1;
        QString statusWhenTold;
        prompts.messages.clear();
        prompts.onMessage = [&] {
            rowsWhenTold = f.DataGrid2->model()->rowCount();
            statusWhenTold = f.LabelNext->text();
        };

        clock.time = at(c.time);
        tick();
        EXPECT_EQ(prompts.messages, QStringList{c.message});
        EXPECT_EQ(rowsWhenTold, c.rowsDone);     // refreshed before the message
        EXPECT_EQ(statusWhenTold, u"設定中"_s);  // nothing runs while it waits
        expectRunMode(false);
    }
}

TEST_F(FormTest, WhatGoesWrongInATimerRunIsShownWithoutStoppingTheSchedule) {
    std::setlocale(LC_ALL, "C");  // a system without a Japanese locale
    writeSchedule(tree.values(), {u"月火水"_s, u"09"_s, u"05"_s, u"30"_s});
    const QString in = tree.dir(u"in"_s);
    tree.addRule({u"001"_s, in, tree.dir(u"out"_s), u"log"_s, u"7"_s, u"移動"_s});
    const QString stuck = tree.file(u"in/stuck.log"_s, "x", at(u"2003/03/01 10:00:00"_s));
    fs.renameAcrossDevices = true;
    fs.failCopyOf.insert("stuck.log");  // as a full disk would
    Form_sweeprun& f = start();
    const struct {
        QString day;
        std::function<void()> before;
        QString notice;  // how the notice starts
    } cases[] = {
        {u"2003/03/24 09:05:30"_s, [] {},
         u"03/24 09:05 の実行: 完了 0 件、失敗 1 件\n順序 001 移動: "_s + stuck +
             u" の処理に失敗しました（先ディレクトリ "_s + tree.path(u"out"_s) +
             u" に書き込めません：ディスクの空き容量が足りません）"_s},
        {u"2003/03/25 09:05:30"_s,
         [&] {
             Connection connection(tree.values());
             connection.Execute(
                 u"CREATE TRIGGER refuse BEFORE INSERT ON day_log "
                 u"BEGIN SELECT RAISE(ABORT, 'database is locked'); END"_s);
         },
         u"03/25 09:05 の実行: 中断\nデータベースの処理に失敗しました（database is locked"_s},
        {u"2003/03/26 09:05:30"_s, [] {},
         u"03/26 09:05 の実行: 中断\n別の実行が進行中です（"_s + tree.values().db_path + u"）"_s},
    };
    std::optional<RunLock> otherRun;
    for (const auto& c : cases) {
        c.before();
        if (c.notice.contains(u"別の実行"_s)) {
            otherRun.emplace(tree.values().db_path);
        }
        prompts.notices.clear();
        clock.time = at(c.day);
        tick();
        ASSERT_EQ(prompts.notices.size(), 1) << c.day.toStdString();
        EXPECT_TRUE(prompts.notices[0].startsWith(c.notice)) << prompts.notices[0].toStdString();
        // Over the log list, clear of every editor.
        const auto global = [](QWidget* widget) {
            return QRect(widget->mapToGlobal(QPoint()), widget->size());
        };
        EXPECT_TRUE(global(f.Frame10).contains(prompts.noticeArea));
        EXPECT_FALSE(prompts.noticeArea.intersects(global(f.Frame4)));
        EXPECT_TRUE(prompts.messages.isEmpty());  // nothing waits for an answer
        expectRunMode(true);
        EXPECT_EQ(f.Command7->text(), u"設定"_s);
    }
    EXPECT_TRUE(QFile::exists(stuck));

    // Its row in the log stands out, and tells why when pointed at.
    QAbstractItemModel* log = f.DataGrid2->model();
    ASSERT_EQ(log->index(0, 2).data().toString(), u"移動失敗"_s);
    EXPECT_TRUE(log->index(0, 0).data(Qt::BackgroundRole).isValid());  // a warning colour
    QWidget* cells = f.DataGrid2->viewport();
    const QPoint point = f.DataGrid2->visualRect(log->index(0, 0)).center();
    QHelpEvent hover(QEvent::ToolTip, point, cells->mapToGlobal(point));
    QApplication::sendEvent(cells, &hover);
    EXPECT_EQ(QToolTip::text(), stuck + u"\n先ディレクトリ "_s + tree.path(u"out"_s) +
                                    u" に書き込めません：ディスクの空き容量が足りません"_s);
}

TEST_F(FormTest, ClosingDuringARunWaitsForTheRunAndFailuresAreReported) {
    writeSchedule(tree.values(), kMonday9h05);
    const QString in = tree.dir(u"in"_s);
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        files << tree.file(u"in/f%1.log"_s.arg(i), "x", at(u"2003/03/01 10:00:00"_s));
    }
    tree.addRule({u"001"_s, in, in + u"/"_s, u"log"_s, u"7"_s, u"移動"_s});  // onto itself
    Form_sweeprun& f = start();
    clock.time = at(u"2003/03/24 09:05:30"_s);
    f.Timer1_Timer();
    f.close();
    EXPECT_TRUE(f.isVisible() && f.running());
    waitForRun();
    EXPECT_FALSE(f.isVisible());
    ASSERT_EQ(prompts.notices.size(), 1);
    const QStringList lines = prompts.notices[0].split(u'\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], u"03/24 09:05 の実行: 完了 0 件、失敗 3 件"_s);
    EXPECT_TRUE(
        lines[1].startsWith(u"順序 001 移動: "_s + files[0] + u" の処理に失敗しました（"_s));
    for (const QString& file : files) {
        EXPECT_TRUE(QFile::exists(file));
    }
}
