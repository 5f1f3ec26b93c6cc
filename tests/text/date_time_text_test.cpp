#include "text/date_time_text.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

TEST(DateTimeText, NineteenCharactersWithEveryFieldPadded) {
    EXPECT_EQ(dateTimeText(at(u"2003/03/29 09:05:07"_s)), u"2003/03/29 09:05:07"_s);
    EXPECT_EQ(dateTimeText(at(u"2003/12/01 19:00:00"_s)), u"2003/12/01 19:00:00"_s);
}

TEST(DateTimeText, RetentionIsTheLeadingNumberAndNeverNegative) {
    EXPECT_DOUBLE_EQ(retentionNumber(u" 7 "_s), 7);
    EXPECT_DOUBLE_EQ(retentionNumber(u"1.5"_s), 1.5);
    EXPECT_DOUBLE_EQ(retentionNumber(u""_s), 0);
    EXPECT_DOUBLE_EQ(retentionNumber(u"abc"_s), 0);
    EXPECT_DOUBLE_EQ(retentionNumber(u"-3"_s), 0);
}

TEST(DateTimeText, CutoffIsCalendarDaysThenAFractionOfADay) {
    const QDateTime run = at(u"2003/03/29 09:05:07"_s);
    EXPECT_EQ(cutoffText(run, 7), u"2003/03/22 09:05:07"_s);
    EXPECT_EQ(cutoffText(run, 0), u"2003/03/29 09:05:07"_s);
    EXPECT_EQ(cutoffText(run, 1.5), u"2003/03/27 21:05:07"_s);
    EXPECT_EQ(cutoffText(run, 365), u"2002/03/29 09:05:07"_s);
    // Beyond any four-digit year nothing is older than the cutoff.
    EXPECT_EQ(cutoffText(run, 1e9), QString());
    EXPECT_EQ(cutoffText(run, 800'000), QString());
}

TEST(DateTimeText, StampsStayNineteenCharactersBeyondTheFourDigitYears) {
    const qint64 year1 = at(u"0001/01/01 00:00:00"_s).toSecsSinceEpoch();
    const struct {
        qint64 seconds;
        QString stamp;
    } cases[] = {
        {at(u"2003/03/29 09:05:07"_s).toSecsSinceEpoch(), u"2003/03/29 09:05:07"_s},
        {year1, u"0001/01/01 00:00:00"_s},
        {year1 - 400LL * 366 * 86'400, u"0000/01/01 00:00:00"_s},  // before year 0000
        {std::numeric_limits<qint64>::min(), u"0000/01/01 00:00:00"_s},
        {253'402'300'800LL + 86'400, u"9999/12/31 23:59:59"_s},  // in year 10000
        {std::numeric_limits<qint64>::max(), u"9999/12/31 23:59:59"_s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(stampText(c.seconds), c.stamp) << c.seconds;
    }
}

TEST(DateTimeText, OlderThanAnswersAsTheStampsCompareFarFromTheCutoffAndNearIt) {
    const qint64 run = at(u"2003/03/29 09:05:07"_s).toSecsSinceEpoch();
    for (const QString& cutoff :
         {u"2003/03/22 09:05:07"_s, u"0001/01/01 00:00:00"_s, u"9999/12/31 23:59:59"_s}) {
        const auto old = olderThan(cutoff);
        for (const qint64 seconds :
             {run, run - 7 * 86'400 - 1, run - 7 * 86'400, run - 7 * 86'400 + 1, run - 10 * 86'400,
              run - 3 * 86'400, qint64{0}, std::numeric_limits<qint64>::min(),
              std::numeric_limits<qint64>::max()}) {
            EXPECT_EQ(old(seconds), stampText(seconds) < cutoff)
                << seconds << ' ' << cutoff.toStdString();
        }
    }
    EXPECT_FALSE(olderThan(QString())(std::numeric_limits<qint64>::min()));  // nothing is old
}
