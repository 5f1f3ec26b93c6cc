#include <gtest/gtest.h>

#include "schedule/run_outcome.h"
#include "settings/schedule_form.h"
#include "settings/startup.h"

using namespace Qt::StringLiterals;

TEST(Startup, CaptionTakesTheLastTwoDigitsOfMinorAndRevision) {
    EXPECT_EQ(windowCaption(2003, 3, 29), u"Quillon V20030329"_s);
    EXPECT_EQ(windowCaption(1, 0, 5), u"Quillon V10005"_s);
    EXPECT_EQ(windowCaption(1, 12, 345), u"Quillon V11245"_s);
}

TEST(Startup, TheLogTakesAThirdOfTheScreenAndTheRulesTheRest) {
    const WindowLayout tall = startupLayout(16200);  // 1080 pixels at 96 dots per inch
    EXPECT_DOUBLE_EQ(tall.logTop, 735);
    EXPECT_DOUBLE_EQ(tall.logHeight, 5400);
    EXPECT_DOUBLE_EQ(tall.logGridHeight, 5000);
    EXPECT_DOUBLE_EQ(tall.scheduleTop, 6135);
    EXPECT_DOUBLE_EQ(tall.rulesTop, 7230);
    EXPECT_DOUBLE_EQ(tall.rulesHeight, 16200 - 735 - 5400 - 1095 - 400);
    EXPECT_DOUBLE_EQ(tall.ruleGridHeight, tall.rulesHeight - 735 - 735 - 600);
    const WindowLayout low = startupLayout(11520);  // 768 pixels
    EXPECT_DOUBLE_EQ(low.logHeight, 3840);
    EXPECT_LT(low.ruleGridHeight, tall.ruleGridHeight);
}

TEST(Startup, ScheduleIsStoredNormalised) {
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

TEST(Startup, FailureSummaryListsTwentyFilesThenCountsTheRest) {
    QList<FileFailure> failures;
    for (int i = 0; i < 25; ++i) {
        failures.append({u"/d/f%1"_s.arg(i), u"Permission denied"_s});
    }
    const QStringList lines = failureSummary(failures).split(u'\n');
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[0], u"/d/f0 の処理に失敗しました（Permission denied）"_s);
    EXPECT_EQ(lines[20], u"ほか 5 件"_s);
    EXPECT_EQ(failureSummary(failures.mid(0, 1)),
              u"/d/f0 の処理に失敗しました（Permission denied）"_s);
}
