#include "schedule/next_run_text.h"

#include <gtest/gtest.h>

#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

TEST(NextRunText, TheNextScheduledMinuteAfterNow) {
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
