#include "storage/sql_text.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(SqlText, StatementsAreBuiltFromTheirExactFragments) {
    EXPECT_EQ(SqlText::selectAll(u"day_set"_s), u"SELECT * FROM day_set"_s);
    EXPECT_EQ(SqlText::selectOrdered(u"sweeprun"_s), u"SELECT * FROM sweeprun ORDER BY 順序"_s);
    EXPECT_EQ(SqlText::selectLog(u"day_log"_s),
              u"SELECT * FROM day_log ORDER BY タイムスタンプ DESC"_s);
    EXPECT_EQ(SqlText::deleteAll(u"day_set"_s), u"DELETE FROM day_set"_s);
    EXPECT_EQ(SqlText::deleteLogBefore(u"day_log"_s, u"2003/03/22 09:05:07"_s),
              u"DELETE FROM day_log WHERE 処理日時 < '2003/03/22 09:05:07'"_s);
}

TEST(SqlText, InsertQuotesEveryValue) {
    EXPECT_EQ(SqlText::insertValues(u"day_set"_s, {u"月水金"_s, u"07"_s, u"30"_s, u"10"_s}),
              u"INSERT INTO day_set VALUES ( '月水金','07','30','10' );"_s);
    EXPECT_EQ(SqlText::insertValues(u"day_log"_s, {u"C:\\log\\it's.txt"_s, u"2003/03/01 10:00:00"_s,
                                                   u"移動"_s, u"2003/03/29 09:05:07"_s}),
              u"INSERT INTO day_log VALUES ( 'C:\\log\\it''s.txt','2003/03/01 10:00:00',"
              u"'移動','2003/03/29 09:05:07' );"_s);
    EXPECT_EQ(SqlText::insertValues(u"t"_s, {QString()}), u"INSERT INTO t VALUES ( '' );"_s);
}
