#include "schedule/schedule_form.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(ScheduleForm, ScheduleIsStoredNormalised) {
    const Schedule none = normalizedSchedule({}, u"7"_s, u"5"_s, u" 10 "_s);
    EXPECT_EQ(none.weekdays, u" "_s);
    EXPECT_EQ(none.hour, u"07"_s);
    EXPECT_EQ(none.minute, u"05"_s);
    EXPECT_EQ(none.logDays, u" 10 "_s);  // stored as typed
    EXPECT_EQ(normalizedSchedule({true, false, true, false, true, false, false}, u"7.5"_s, u"30"_s,
                                 u"0"_s)
                  .hour,
              u".5"_s);
    EXPECT_EQ(
        normalizedSchedule({true, true, true, true, true, true, true}, u"23"_s, u"59"_s, u"0"_s)
            .weekdays,
        u"月火水木金土日"_s);
}
