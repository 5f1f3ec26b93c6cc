#include "schedule/schedule_checks.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

Schedule schedule(const QString& hour, const QString& minute, const QString& logDays) {
    return {u"月水金"_s, hour, minute, logDays};
}

void expectFailure(const Schedule& s, const QString& message, ScheduleField field) {
    const auto failure = checkSchedule(s);
    ASSERT_TRUE(failure.has_value()) << message.toStdString();
    EXPECT_EQ(failure->message, message);
    EXPECT_EQ(failure->field, field);
}

}  // namespace

TEST(ScheduleChecks, TheFirstFailingCheckInOrderIsReported) {
    EXPECT_FALSE(checkSchedule(schedule(u"7"_s, u"59"_s, u"0"_s)));
    EXPECT_FALSE(checkSchedule(schedule(u"7.5"_s, u"00"_s, u"1.5"_s)));
    expectFailure(schedule(u""_s, u"75"_s, u"-1"_s), u"実行時は数値で入力してください"_s,
                  ScheduleField::Hour);
    expectFailure(schedule(u"abc"_s, u"00"_s, u"0"_s), u"実行時は数値で入力してください"_s,
                  ScheduleField::Hour);
    expectFailure(schedule(u"24"_s, u"xx"_s, u"0"_s), u"実行時は０～２３の数値で入力してください"_s,
                  ScheduleField::Hour);
    expectFailure(schedule(u"-1"_s, u"00"_s, u"0"_s), u"実行時は０～２３の数値で入力してください"_s,
                  ScheduleField::Hour);
    expectFailure(schedule(u"09"_s, u"x"_s, u"0"_s), u"実行分時は数値で入力してください"_s,
                  ScheduleField::Minute);
    expectFailure(schedule(u"09"_s, u"60"_s, u"0"_s), u"実行分は０～５９の数値で入力してください"_s,
                  ScheduleField::Minute);
    expectFailure(schedule(u"09"_s, u"05"_s, u""_s), u"ログ残存日数は数値で入力してください"_s,
                  ScheduleField::LogDays);
    expectFailure(schedule(u"09"_s, u"05"_s, u"-1"_s),
                  u"ログ残存日数は０以上の数値で入力してください"_s, ScheduleField::LogDays);
}
