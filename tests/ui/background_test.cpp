// The window left running all day: closed into the tray or with a question, started at login.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

#include "schedule/schedule_store.h"
#include "support/window_test.h"
#include "ui/autostart.h"

using namespace Qt::StringLiterals;

namespace {

const QString kCloseQuestion =
    u"ウィンドウを閉じると、スケジュールの実行は止まります。閉じますか?\n"
    u"ウィンドウなしで実行するには、ユーザータイマーを有効にしてください"
    u"（systemctl --user enable --now quillon-batch.timer）。"_s;

class BackgroundTest : public WindowTest {
protected:
    BackgroundTest() : m_config(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", tree.dir(u"config"_s).toUtf8());
    }
    ~BackgroundTest() override { qputenv("XDG_CONFIG_HOME", m_config); }

private:
    QByteArray m_config;
};

}  // namespace

TEST_F(BackgroundTest, ClosingInRunModeLeavesTheScheduleInTheTrayOrAsksFirst) {
    writeSchedule(tree.values(), kMonday9h05);
    clock.time = at(u"2003/03/23 23:59:10"_s);

    // No tray: the user is told that the schedule stops, and may stay.
    Form_sweeprun* f = &start();
    prompts.answer = false;
    EXPECT_FALSE(f->close());
    EXPECT_EQ(prompts.messages, QStringList{kCloseQuestion});
    EXPECT_TRUE(f->isVisible());
    prompts.answer = true;
    EXPECT_TRUE(f->close());

    // A tray: the window goes there, the schedule runs on, and a click brings it back.
    f = &start();
    f->useTray(true);
    prompts.messages.clear();
    EXPECT_FALSE(f->close());
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_FALSE(f->isVisible());
    EXPECT_TRUE(f->Timer1->isActive());
    f->followClock();
    EXPECT_EQ(f->Tray->toolTip(), u"Quillon\n次回 03/24（月）09:05\n"_s);
    emit f->Tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(f->isVisible());
    // 終了 in its menu ends the window, schedule and all, without a question.
    f->Tray->contextMenu()->actions().last()->trigger();
    EXPECT_FALSE(f->isVisible());
    EXPECT_TRUE(prompts.messages.isEmpty());

    // In settings mode nothing is scheduled: the window closes.
    f = &start();
    QTest::mouseClick(f->Command7, Qt::LeftButton);
    EXPECT_TRUE(f->close());
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(BackgroundTest, LoginStartWritesAndRemovesTheAutostartEntry) {
    Form_sweeprun& f = start();  // no schedule: settings mode
    prompts.messages.clear();
    const QString entry = tree.path(u"config/autostart/org.quillon.Quillon.desktop"_s);
    EXPECT_EQ(Autostart::entryPath(), entry);
    EXPECT_FALSE(f.LoginStart->isChecked());

    QTest::mouseClick(f.LoginStart, Qt::LeftButton);
    EXPECT_TRUE(f.LoginStart->isChecked());
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(
        "\nExec=" + Autostart::execText(QCoreApplication::applicationFilePath()).toUtf8() + '\n'));
    EXPECT_TRUE(start().LoginStart->isChecked());  // as a later start finds it
    prompts.messages.clear();

    QTest::mouseClick(form->LoginStart, Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(entry));

    // A folder that cannot be made: said, and the box shows what is.
    QDir(tree.path(u"config/autostart"_s)).removeRecursively();
    tree.file(u"config/autostart"_s, "not a folder", QDateTime::currentDateTime());
    QTest::mouseClick(form->LoginStart, Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(u"ログイン時の起動を設定できません（"_s));
    EXPECT_FALSE(form->LoginStart->isChecked());

    // The Exec key quoted as desktop entries quote it: only where needed, escapes doubled.
    const struct {
        QString program;
        QString exec;
    } cases[] = {
        {u"/usr/bin/sweeprun"_s, u"/usr/bin/sweeprun"_s},
        {u"/opt/my tools/sweeprun"_s, u"\"/opt/my tools/sweeprun\""_s},
        {u"/o/a$b\"c`d\\e%f"_s, u"\"/o/a\\\\$b\\\\\"c\\\\`d\\\\\\\\e%%f\""_s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Autostart::execText(c.program), c.exec);
    }
}
