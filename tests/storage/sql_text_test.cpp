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

TEST(SqlText, RuleStatementsMatchByContentOrByOrder) {
    const QString match = SqlText::ruleMatch(u"D:\\data's"_s, u""_s, u"txt"_s, u"7"_s, u"削除"_s);
    EXPECT_EQ(match,
              u" WHERE 元ディレクトリ = 'D:\\data''s' AND 先ディレクトリ = '' AND 拡張子 = 'txt'"
              u" AND 残存日数 = '7' AND 処理 = '削除'"_s);
    EXPECT_EQ(SqlText::selectAll(u"sweeprun"_s) + match, u"SELECT * FROM sweeprun"_s + match);
    EXPECT_EQ(SqlText::renumberMatch(u"sweeprun"_s, u"002"_s, match),
              u"UPDATE sweeprun SET 順序 = '002'"_s + match);
    EXPECT_EQ(SqlText::selectOrders(u"sweeprun"_s, true),
              u"SELECT 順序 FROM sweeprun ORDER BY 順序 DESC"_s);
    EXPECT_EQ(SqlText::selectOrders(u"sweeprun"_s, false),
              u"SELECT 順序 FROM sweeprun ORDER BY 順序"_s);
    EXPECT_EQ(SqlText::deleteOrder(u"sweeprun"_s, u"0'2"_s),
              u"DELETE FROM sweeprun WHERE 順序 = '0''2'"_s);
    EXPECT_EQ(SqlText::renumberOrder(u"sweeprun"_s, u"002"_s, u"003"_s),
              u"UPDATE sweeprun SET 順序 = '002' WHERE 順序 = '003'"_s);
    EXPECT_EQ(SqlText::selectBefore(u"sweeprun"_s, u"0'4"_s),
              u"SELECT * FROM sweeprun WHERE 順序 < '0''4'"_s);
}
