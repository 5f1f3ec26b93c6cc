// The window as a person uses it over days: a real log, typed times, a clock that moves.
#include <gtest/gtest.h>

#include <cmath>

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QSqlQuery>
#include <QStyledItemDelegate>
#include <QTest>
#include <QToolTip>

#include "schedule/schedule_store.h"
#include "storage/connection.h"
#include "storage/sql_text.h"
#include "support/temp_tree.h"
#include "support/window_test.h"
#include "ui/form_sweeprun.h"

using namespace Qt::StringLiterals;

namespace {

class WindowUseTest : public WindowTest {
protected:
    void addLog(int rows) {
        Connection connection(tree.values());
        Transaction transaction(connection);
        for (int i = 0; i < rows; ++i) {
            connection.Execute(SqlText::insertValues(
                tree.values().tbl_log,
                {u"/old/%1.log"_s.arg(i),
                 at(u"2003/01/01 00:00:00"_s).addSecs(i).toString(u"yyyy/MM/dd HH:mm:ss"_s),
                 u"削除"_s, u"2003/03/20 09:05:00"_s}));
        }
        transaction.commit();
    }

    // What a checkpoint that empties the write-ahead log answers: 0 when nothing held it back.
    int checkpointBusy() {
        Connection connection(tree.values());
        QSqlQuery query(connection.database());
        EXPECT_TRUE(query.exec(u"PRAGMA wal_checkpoint(TRUNCATE)"_s));
        return query.next() ? query.value(0).toInt() : -1;
    }
};

}  // namespace

TEST_F(WindowUseTest, TheLogListFollowsEveryRunAtAnySizeAndPinsNoSnapshot) {
    writeSchedule(tree.values(), kMonday9h05);
    addLog(3000);
    const QString in = tree.dir(u"in"_s);
    const QString file = tree.file(u"in/new.log"_s, "x", at(u"2003/03/01 10:00:00"_s));
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, u"削除"_s});
    Form_sweeprun& f = start();
    ASSERT_EQ(f.DataGrid2->model()->rowCount(), 3000);
    f.DataGrid2->scrollToBottom();  // read far down, as a person scrolling would
    QApplication::processEvents();
    EXPECT_EQ(checkpointBusy(), 0);
    // A column the user widened stays as wide through the runs.
    const int widened = f.DataGrid2->columnWidth(1) + 40;
    f.DataGrid2->horizontalHeader()->resizeSection(1, widened);

    clock.time = at(u"2003/03/24 09:05:30"_s);
    tick();
    EXPECT_EQ(f.DataGrid2->columnWidth(1), widened);
    EXPECT_FALSE(QFile::exists(file));
    ASSERT_EQ(f.DataGrid2->model()->rowCount(), 3001);
    EXPECT_EQ(f.DataGrid2->verticalScrollBar()->value(), 0);  // at its top again
    EXPECT_EQ(f.DataGrid2->rowAt(0), 0);
    EXPECT_EQ(f.DataGrid2->model()->index(0, 0).data().toString(), file);
    EXPECT_EQ(f.DataGrid2->model()->index(3000, 0).data().toString(), u"/old/0.log"_s);
    EXPECT_EQ(checkpointBusy(), 0);

    // Every cell shows its whole text when pointed at.
    QWidget* cells = f.DataGrid2->viewport();
    const QPoint point = f.DataGrid2->visualRect(f.DataGrid2->model()->index(0, 0)).center();
    QHelpEvent hover(QEvent::ToolTip, point, cells->mapToGlobal(point));
    QApplication::sendEvent(cells, &hover);
    EXPECT_EQ(QToolTip::text(), file);
}

TEST_F(WindowUseTest, TypedHoursAndMinutesAreStoredAsTyped) {
    Form_sweeprun& f = start();  // no schedule yet: settings mode
    const struct {
        QString hour;
        QString minute;
        QString storedHour;
        QString storedMinute;
    } cases[] = {
        {u"1"_s, u"5"_s, u"01"_s, u"05"_s},
        {u"5"_s, u"3"_s, u"05"_s, u"03"_s},
        {u"23"_s, u"59"_s, u"23"_s, u"59"_s},
    };
    for (const auto& c : cases) {
        f.Command7_Click();
        QTest::mouseClick(f.Check1[0], Qt::LeftButton);
        for (const auto& [combo, text] : {std::pair{f.Combo1, c.hour}, {f.Combo2, c.minute}}) {
            QTest::mouseClick(combo->lineEdit(), Qt::LeftButton);
            QTest::keyClick(combo->lineEdit(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(combo->lineEdit(), text);
        }
        f.Text4->setText(u"30"_s);
        QTest::mouseClick(f.Command2, Qt::LeftButton);
        const std::optional<Schedule> stored = readStoredSchedule(tree.values());
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->hour, c.storedHour) << c.hour.toStdString();
        EXPECT_EQ(stored->minute, c.storedMinute) << c.minute.toStdString();
    }
}

TEST_F(WindowUseTest, EveryDateTimeAndEveryRuleOrderAndProcessShowWhole) {
    addLog(3);
    tree.addRule({u"001"_s, u"/src"_s, u"/dst"_s, u"txt"_s, u"7"_s, u"複写"_s});
    Form_sweeprun& f = start();
    const auto fits = [](QTableView* grid, int column) {
        QStyleOptionViewItem option;
        option.initFrom(grid->viewport());
        option.font = grid->font();
        option.fontMetrics = QFontMetrics(grid->font());
        const QModelIndex index = grid->model()->index(0, column);
        return grid->itemDelegate()->sizeHint(option, index).width() <= grid->columnWidth(column);
    };
    {
        Connection connection(tree.values());  // the widest digits there are
        connection.Execute(
            u"UPDATE day_log SET タイムスタンプ = '2008/08/08 08:08:08', "
            u"処理日時 = '2000/10/20 20:00:08', 処理内容 = '複写失敗'"_s);
    }
    f.ROAD_DSP_2();
    const int rowHeader = f.DataGrid2->verticalHeader()->width();
    for (const int column : {1, 2, 3}) {
        EXPECT_TRUE(fits(f.DataGrid2, column)) << column;
    }
    for (const int column : {0, 5}) {
        EXPECT_TRUE(fits(f.DataGrid1, column)) << column;
    }
    // The path takes the rest, and the row numbers keep their width as the log grows.
    EXPECT_GT(f.DataGrid2->columnWidth(0), f.DataGrid2->columnWidth(1) * 2);
    addLog(3000);
    f.ROAD_DSP_2();
    EXPECT_EQ(f.DataGrid2->verticalHeader()->width(), rowHeader);
}

TEST_F(WindowUseTest, DisabledControlsLookDisabledAndTheButtonFacesAreFlat) {
    writeSchedule(tree.values(), kMonday9h05);
    Form_sweeprun& f = start();  // run mode: the editors are disabled
    const auto colour = [](QWidget* widget, QPalette::ColorRole role) {
        return widget->palette().color(widget->isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       role);
    };
    // The middle of a button's top and bottom edges, inside its border.
    const auto face = [](QPushButton* button) {
        const QImage image = button->grab().toImage();
        return std::pair{image.pixelColor(image.width() / 2, 3),
                         image.pixelColor(image.width() / 2, image.height() - 4)};
    };
    ASSERT_FALSE(f.Check1[5]->isEnabled());
    const QColor disabledBlue = colour(f.Check1[5], QPalette::WindowText);
    const QColor disabledYellow = colour(f.Text1, QPalette::Base);
    EXPECT_NE(disabledBlue, QColor(0, 0, 255));
    EXPECT_GT(disabledBlue.blue(), disabledBlue.red());  // muted, still blue
    EXPECT_NE(colour(f.Check1[6], QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_NE(disabledYellow, QColor(255, 255, 192));
    // Yet a disabled path reads well: its text stands out 4.5 to 1 or more (WCAG).
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    EXPECT_GE(
        (luminance(disabledYellow) + 0.05) / (luminance(colour(f.Text1, QPalette::Text)) + 0.05),
        4.5);
    // Every caption fits its frame, and the last run's line keeps clear of its group's caption.
    for (QGroupBox* group : f.findChildren<QGroupBox*>()) {
        EXPECT_LE(group->fontMetrics().horizontalAdvance(group->title()) + 16, group->width())
            << group->title().toStdString();
    }
    f.LabelLast->setText(u"前回 12/07 05:30 完了 1,234,567 件、失敗 12,345 件"_s);
    EXPECT_GE(f.LabelLast->geometry().right() - f.LabelLast->sizeHint().width(),
              f.Frame7->fontMetrics().horizontalAdvance(f.Frame7->title()) + 16);
    EXPECT_NE(face(f.Command3).first, QColor(192, 255, 192));

    f.Command7_Click();  // settings mode
    EXPECT_EQ(colour(f.Check1[5], QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(colour(f.Check1[6], QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(colour(f.Text1, QPalette::Base), QColor(255, 255, 192));
    EXPECT_EQ(face(f.Command3), std::pair(QColor(192, 255, 192), QColor(192, 255, 192)));
    EXPECT_EQ(face(f.Command4), std::pair(QColor(255, 192, 192), QColor(255, 192, 192)));
}

TEST_F(WindowUseTest, TheStatusLineTellsWhenTheWindowRunsAndWhatTheLastRunDid) {
    writeSchedule(tree.values(), kMonday9h05);
    const QString in = tree.dir(u"in"_s);
    tree.file(u"in/a.log"_s, "x", at(u"2003/03/01 10:00:00"_s));
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, u"削除"_s});
    clock.time = at(u"2003/03/23 23:59:10"_s);  // a Sunday
    Form_sweeprun& f = start();
    EXPECT_EQ(f.LabelNext->text(), u"次回 03/24（月）09:05"_s);
    EXPECT_EQ(f.LabelLast->text(), QString());

    clock.time = at(u"2003/03/24 09:05:30"_s);
    tick();
    EXPECT_EQ(f.LabelLast->text(), u"前回 03/24 09:05 完了 1 件"_s);
    EXPECT_EQ(f.LabelNext->text(), u"次回 03/31（月）09:05"_s);

    QTest::mouseClick(f.Command7, Qt::LeftButton);
    EXPECT_EQ(f.LabelNext->text(), u"設定中"_s);
    // The widest texts fit where they stand, on one line: millions of files, and failures.
    EXPECT_LE(f.LabelNext->sizeHint().width(), f.LabelNext->width());
    for (const QString& text : {u"次回 12/14（月）09:05"_s, u"実行中 1,234,567 件"_s}) {
        f.LabelNext->setText(text);
        EXPECT_LE(f.LabelNext->sizeHint().width(), f.LabelNext->width());
    }
    EXPECT_EQ(QFontInfo(f.LabelLast->font()).family(), u"Noto Sans CJK JP"_s);
    f.LabelLast->setText(u"前回 12/07 05:30 完了 1,234,567 件、失敗 12,345 件"_s);
    EXPECT_LE(f.LabelLast->sizeHint().width(), f.LabelLast->width());
    EXPECT_LE(f.LabelLast->sizeHint().height(), f.LabelLast->height() + 2);
}

TEST_F(WindowUseTest, TheWindowAndTheBatchShareOneDatabaseAsTwoProcesses) {
    writeSchedule(tree.values(), kMonday9h05);
    const QString in = tree.dir(u"in"_s);
    const QString a = tree.file(u"in/a.log"_s, "x", at(u"2003/03/01 10:00:00"_s));
    tree.addRule({u"001"_s, in, u""_s, u"log"_s, u"7"_s, u"削除"_s});
    const QString db = tree.values().db_path;
    const auto batch = [&](const QStringList& arguments) {
        QProcess process;
        process.start(QStringLiteral(SWEEPRUN_BATCH), QStringList{u"--db"_s, db} + arguments);
        EXPECT_TRUE(process.waitForFinished(30'000));
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    };
    Form_sweeprun& f = start();

    // The batch, started while the window's run holds the database, gives way.
    std::optional<std::pair<int, QString>> during;
    fs.beforeCheck = [&](const char*) {
        if (!during) {
            during = batch({u"--at"_s, u"2003/03/24 09:05:40"_s});
        }
    };
    clock.time = at(u"2003/03/24 09:05:30"_s);
    tick();
    EXPECT_EQ(during, std::pair(4, u"別の実行が進行中です（"_s + db + u"）\n"_s));  // busy
    fs.beforeCheck = nullptr;
    EXPECT_FALSE(QFile::exists(a));

    // The minute the window served is not served again by the batch's timer; a trial of the
    // batch as of another minute (--at) marks nothing, so the window still serves that one.
    const QString b = tree.file(u"in/b.log"_s, "x", at(u"2003/03/01 10:00:00"_s));
    EXPECT_EQ(batch({u"--if-due"_s, u"--at"_s, u"2003/03/24 09:05:50"_s}), std::pair(0, QString()));
    EXPECT_TRUE(QFile::exists(b));
    EXPECT_EQ(batch({u"--if-due"_s, u"--at"_s, u"2003/03/31 09:05:05"_s}).first, 0);
    EXPECT_FALSE(QFile::exists(b));
    const QString c = tree.file(u"in/c.log"_s, "x", at(u"2003/03/01 10:00:00"_s));
    clock.time = at(u"2003/03/31 09:05:30"_s);
    tick();
    EXPECT_FALSE(QFile::exists(c));
    EXPECT_TRUE(prompts.notices.isEmpty());
    EXPECT_EQ(tree.logRows().size(), 3);
    // The status line tells of the batch's run, in this window and in one opened later.
    EXPECT_EQ(f.LabelLast->text(), u"前回 03/31 09:05 完了 1 件"_s);
    EXPECT_EQ(start().LabelLast->text(), u"前回 03/31 09:05 完了 1 件"_s);
}

TEST_F(WindowUseTest, TheLogIsSearchedAmongAMillionRowsAndSavedAsItIsShown) {
    {
        Connection connection(tree.values());
        connection.Execute(
            u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000)"
            u" INSERT INTO day_log SELECT '/old/' || i || '.log', '2003/01/01 00:00:00', '削除',"
            u" '2003/03/20 09:05:00' FROM n"_s);
    }
    const QList<QStringList> needles = {
        {u"/data/needle,1.csv"_s, u"2003/03/10 10:00:00"_s, u"複写"_s, u"2003/03/24 09:05:30"_s},
        {u"/data/needle-2.csv"_s, u"2003/03/10 10:00:01"_s, u"複写失敗"_s,
         u"2003/03/24 09:05:30"_s},
        {u"/other/needle-3.csv"_s, u"2003/03/10 10:00:02"_s, u"削除"_s, u"2003/03/25 09:05:30"_s},
        {u"/data/needle-4.csv"_s, u"2003/03/10 10:00:03"_s, u"移動失敗"_s,
         u"2003/03/26 09:05:30"_s},
    };
    for (const QStringList& row : needles) {
        tree.addLogRow(row);
    }
    Form_sweeprun& f = start();  // no schedule: it says so, and stays in settings mode
    prompts.messages.clear();
    QAbstractItemModel* log = f.DataGrid2->model();
    ASSERT_EQ(log->rowCount(), 1'000'004);
    const int gridHeight = f.DataGrid2->height();

    QTest::keyClick(&f, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(f.FilterBar->isVisible());
    EXPECT_TRUE(f.FilterBar->text->hasFocus());
    EXPECT_LT(f.DataGrid2->height(), gridHeight);  // the line takes its room from the list
    QTest::keyClicks(f.FilterBar->text, u"needle"_s);
    QTest::keyClick(f.FilterBar->text, Qt::Key_Return);
    ASSERT_EQ(log->rowCount(), 4);
    EXPECT_EQ(f.FilterBar->hits->text(), u"4 件"_s);
    EXPECT_EQ(log->index(0, 0).data().toString(), u"/data/needle-4.csv"_s);  // newest first

    QTest::keyClick(f.FilterBar->process, Qt::Key_End);  // 失敗のみ
    EXPECT_EQ(f.FilterBar->process->currentText(), u"失敗のみ"_s);
    EXPECT_EQ(log->rowCount(), 2);
    QTest::keyClicks(f.FilterBar->from, u"2003/03/26"_s);
    QTest::keyClick(f.FilterBar->from, Qt::Key_Return);
    EXPECT_EQ(log->rowCount(), 1);

    // Saved as it is shown.
    prompts.savePath = tree.path(u"shown.csv"_s);
    QTest::mouseClick(f.FilterBar->saveCsv, Qt::LeftButton);
    EXPECT_EQ(
        TempTree::read(prompts.savePath),
        "\xEF\xBB\xBF" +
            u"対象ファイル,タイムスタンプ,処理内容,処理日時,理由\r\n"
            u"/data/needle-4.csv,2003/03/10 10:00:03,移動失敗,2003/03/26 09:05:30,\r\n"_s.toUtf8());
    EXPECT_TRUE(prompts.messages.isEmpty());

    QTest::keyClick(f.FilterBar->text, Qt::Key_Escape);
    EXPECT_FALSE(f.FilterBar->isVisible());
    EXPECT_EQ(log->rowCount(), 1'000'004);
    EXPECT_EQ(f.DataGrid2->height(), gridHeight);
    EXPECT_TRUE(f.DataGrid2->hasFocus());
}
