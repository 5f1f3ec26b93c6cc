#include "schedule/schedule_check.h"
#include "schedule/status_text.h"

#include <gtest/gtest.h>

#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

TEST(ScheduleCheck, MatchesTheMinuteOfAChosenWeekdayOnly) {
    const Schedule monWedFri{u"月水金"_s, u"09"_s, u"05"_s, u"30"_s};
    // 2003/03/24 is a Monday.
    EXPECT_TRUE(isScheduledMinute(at(u"2003/03/24 09:05:30"_s), monWedFri));
    EXPECT_TRUE(isScheduledMinute(at(u"2003/03/24 09:05:00"_s), monWedFri));
    EXPECT_FALSE(isScheduledMinute(at(u"2003/03/24 09:06:00"_s), monWedFri));
    EXPECT_FALSE(isScheduledMinute(at(u"2003/03/25 09:05:30"_s), monWedFri));  // Tuesday
    EXPECT_TRUE(isScheduledMinute(at(u"2003/03/28 09:05:59"_s), monWedFri));   // Friday
    EXPECT_FALSE(isScheduledMinute(at(u"2003/03/24 09:05:30"_s),
                                   {u"月"_s, u"9"_s, u"05"_s, u"30"_s}));  // one-digit hour
    EXPECT_TRUE(isScheduledMinute(at(u"2003/03/30 19:05:10"_s),
                                  {u"日"_s, u"19"_s, u"05"_s, u"0"_s}));  // Sunday evening
    EXPECT_FALSE(
        isScheduledMinute(at(u"2003/03/24 09:05:30"_s), {u" "_s, u"09"_s, u"05"_s, u"0"_s}));
    EXPECT_FALSE(
        isScheduledMinute(at(u"2003/03/24 09:05:30"_s), {u""_s, u"09"_s, u"05"_s, u"0"_s}));
}

TEST(StatusText, TheNextScheduledMinuteAfterNow) {
    const struct {
        Schedule schedule;
        QString now;
        QString next;
    } cases[] = {
        {{u"月水"_s, u"05"_s, u"30"_s, u"30"_s},
         u"2026/12/07 05:29:59"_s,
         u"次回 12/07（月）05:30"_s},
        {{u"月水"_s, u"05"_s, u"30"_s, u"30"_s},
         u"2026/12/07 05:30:00"_s,
         u"次回 12/09（水）05:30"_s},
        {{u"月"_s, u"05"_s, u"30"_s, u"30"_s},
         u"2026/12/07 05:31:00"_s,
         u"次回 12/14（月）05:30"_s},
        // Across the week's end: Sunday 23:59 to Monday.
        {{u"月"_s, u"00"_s, u"00"_s, u"30"_s},
         u"2026/12/13 23:59:30"_s,
         u"次回 12/14（月）00:00"_s},
        {{u"日"_s, u"23"_s, u"59"_s, u"30"_s},
         u"2026/12/13 23:58:00"_s,
         u"次回 12/13（日）23:59"_s},
        {{u"日"_s, u"23"_s, u"59"_s, u"30"_s},
         u"2026/12/13 23:59:00"_s,
         u"次回 12/20（日）23:59"_s},
        // Never matched by the timer's check.
        {{u""_s, u"05"_s, u"30"_s, u"30"_s}, u"2026/12/07 05:00:00"_s, u"次回 なし"_s},
        {{u"月"_s, u"5"_s, u"30"_s, u"30"_s}, u"2026/12/07 05:00:00"_s, u"次回 なし"_s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nextRunText(at(c.now), c.schedule), c.next) << c.now.toStdString();
    }
}

TEST(StatusText, WhatTheLastRunCameTo) {
    const QDateTime when = at(u"2026/12/07 05:30:12"_s);
    RunOutcome outcome;
    outcome.handledFiles = 1234;
    EXPECT_EQ(lastRunText(when, outcome), u"前回 12/07 05:30 完了 1,234 件"_s);
    outcome.failures = {{u"/a"_s, u"x"_s}, {u"/b"_s, u"x"_s}, {u"/c"_s, u"x"_s}};
    EXPECT_EQ(lastRunText(when, outcome), u"前回 12/07 05:30 失敗 3 件"_s);
    for (const auto& stop : {&RunOutcome::result, &RunOutcome::storageError}) {
        RunOutcome stopped;
        stopped.*stop = u"x"_s;
        EXPECT_EQ(lastRunText(when, stopped), u"前回 12/07 05:30 中断"_s);
    }
    RunOutcome busy;
    busy.busy = true;
    EXPECT_EQ(lastRunText(when, busy), u"前回 12/07 05:30 中断"_s);
}
