#include "schedule/schedule_check.h"

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
