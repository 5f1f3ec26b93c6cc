#include "schedule/scheduled_minute.h"

#include <gtest/gtest.h>

#include <ctime>

#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

TEST(ScheduledMinute, MatchesTheMinuteOfAChosenWeekdayOnly) {
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

namespace {

// Sets the process's time zone for one test, and puts the old one back.
class TimeZone {
public:
    explicit TimeZone(const char* zone) : m_old(qgetenv("TZ")) { set(zone); }
    ~TimeZone() { set(m_old.constData()); }

private:
    static void set(const char* zone) {
        qputenv("TZ", zone);
        tzset();
    }
    QByteArray m_old;
};

QDateTime utc(const QString& text) {
    QDateTime time = QDateTime::fromString(text, u"yyyy/MM/dd HH:mm:ss"_s);
    time.setTimeSpec(Qt::UTC);
    return time;
}

}  // namespace

TEST(DueMinute, EachScheduledMinuteIsDueOnceAcrossClockChanges) {
    const TimeZone berlin("Europe/Berlin");
    // 2026-03-29: 02:00 CET jumps to 03:00 CEST. 2026-10-25: 03:00 CEST falls back to 02:00 CET.
    const struct {
        const char* nowUtc;
        const char* weekdays;
        const char* hour;
        const char* minute;
        const char* dueUtc;  // empty: not due
    } cases[] = {
        {"2026/12/07 08:30:00", "月", "09", "30", "2026/12/07 08:30:00"},  // 09:30 CET, a Monday
        {"2026/12/07 08:30:59", "月", "09", "30", "2026/12/07 08:30:00"},
        {"2026/12/07 08:31:00", "月", "09", "30", ""},
        {"2026/12/07 08:29:59", "月", "09", "30", ""},
        {"2026/12/07 08:30:00", "火", "09", "30", ""},  // another weekday
        {"2026/12/07 08:30:00", "月", "9", "30", ""},   // the hour as stored, one digit
        {"2026/10/25 00:30:10", "日", "02", "30", "2026/10/25 00:30:00"},  // 02:30 CEST
        {"2026/10/25 01:30:10", "日", "02", "30", ""},  // 02:30 CET, the hour repeated
        {"2026/03/29 01:00:20", "日", "02", "30", "2026/03/29 01:00:00"},  // 03:00 CEST
        {"2026/03/29 01:01:00", "日", "02", "30", ""},
        {"2026/03/29 00:59:59", "日", "02", "30", ""},  // 01:59 CET, before the jump
        {"2026/03/29 01:30:00", "日", "03", "30", "2026/03/29 01:30:00"},  // 03:30 exists
    };
    for (const auto& c : cases) {
        const QDateTime now = utc(QString::fromLatin1(c.nowUtc)).toLocalTime();
        const std::optional<QDateTime> due =
            dueMinute(now, {QString::fromUtf8(c.weekdays), QString::fromLatin1(c.hour),
                            QString::fromLatin1(c.minute), u"30"_s});
        const QString expected = QString::fromLatin1(c.dueUtc);
        ASSERT_EQ(due.has_value(), !expected.isEmpty()) << c.nowUtc << " " << c.hour << c.minute;
        if (due) {
            EXPECT_EQ(*due, utc(expected)) << c.nowUtc;
            EXPECT_EQ(due->timeSpec(), Qt::UTC);
        }
    }
}

TEST(ScheduledMinute, TheMinuteTimerWaitsForAMomentAfterTheNextMinuteBegins) {
    const struct {
        QTime now;
        int wait;
    } cases[] = {
        {QTime(9, 4, 30, 500), 29'600},
        {QTime(9, 4, 59, 999), 101},
        {QTime(9, 5, 0, 0), 60'100},  // never the minute it fires from
        {QTime(23, 59, 59, 950), 150},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(msecsToNextMinute(QDateTime(QDate(2003, 3, 24), c.now)), c.wait)
            << c.now.toString(u"HH:mm:ss.zzz"_s).toStdString();
    }
}
