#include "run/log_writer.h"

#include <gtest/gtest.h>

#include "storage/connection.h"
#include "storage/sql_text.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

TEST(LogWriter, BoundRowsStoreExactlyWhatTheFixedStatementTextStores) {
    const QList<LogRow> rows = {
        {u"/in/it's.log"_s, u"2003/03/01 10:00:00"_s, u"削除"_s, u"2003/03/29 09:05:07"_s},
        {u"/in/日本 '' ''.log"_s, u"2003/03/01 10:00:00"_s, u"移動"_s, u"2003/03/29 09:05:07"_s},
        {u"/in/alias\\xff\\x80.log"_s, u"0000/01/01 00:00:00"_s, u"複写"_s, u"x"_s},
        {u"  spaced  "_s, u"123"_s, u"圧縮"_s, u"2003/03/29 09:05:07"_s},
        {u""_s, u""_s, u""_s, u""_s},
    };
    TempTree fixed;
    {
        Connection connection(fixed.values());
        for (const LogRow& row : rows) {
            connection.Execute(SqlText::insertValues(
                fixed.values().tbl_log, {row.path, row.stamp, row.process, row.runText}));
        }
    }
    TempTree bound;
    LogWriter writer(bound.values());
    writer.submit(rows);
    const QList<qint64> rowids = writer.waitCommitted();

    EXPECT_EQ(bound.storedLogRows(), fixed.storedLogRows());
    EXPECT_EQ(rowids, (QList<qint64>{1, 2, 3, 4, 5}));

    // Corrections find their rows by id and path, in the next transaction.
    writer.submit({}, {{rowids[0], rows[0].path, u"削除失敗"_s},
                       {rowids[1], rows[1].path, {}},
                       {rowids[2], u"/not/that/row"_s, {}}});
    writer.waitCommitted();
    const QStringList after = bound.storedLogRows();
    ASSERT_EQ(after.size(), 4);
    EXPECT_TRUE(after[0].contains(u"'削除失敗'"_s)) << after[0].toStdString();
    EXPECT_TRUE(after[1].startsWith(u"3|"_s));
}
