#include "storage/shared_func.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(QuoteSql, DoublesEveryApostropheAndNothingElse) {
    EXPECT_EQ(QuoteSql(QString()), QString());
    EXPECT_EQ(QuoteSql(u"a'b"_s), u"a''b"_s);
    EXPECT_EQ(QuoteSql(u"''"_s), u"''''"_s);
    EXPECT_EQ(QuoteSql(u"/srv/日本語 \"x\""_s), u"/srv/日本語 \"x\""_s);
    EXPECT_EQ(QuoteSql(u"'it's'"_s), u"''it''s''"_s);
}

TEST(RightBytes, CountsBytesOfTheShiftJisForm) {
    EXPECT_EQ(RightBytes(u"003"_s, 2), u"03"_s);
    EXPECT_EQ(RightBytes(u"0029"_s, 2), u"29"_s);
    EXPECT_EQ(RightBytes(u"3"_s, 2), u"3"_s);
    EXPECT_EQ(RightBytes(u"0012"_s, 2), u"12"_s);
    // Kanji take two bytes each in code page 932.
    EXPECT_EQ(RightBytes(u"日本語"_s, 4), u"本語"_s);
    EXPECT_EQ(RightBytes(u"V日本"_s, 5), u"V日本"_s);
    EXPECT_EQ(RightBytes(u"abc"_s, 0), QString());
}
