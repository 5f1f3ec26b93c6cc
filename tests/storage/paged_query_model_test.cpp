#include "storage/paged_query_model.h"

#include <gtest/gtest.h>

#include "storage/connection.h"
#include "storage/sql_text.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

TEST(PagedQueryModel, PagesPastTheCacheAreReadAgainAndRowsGoneOrUnreadableStayBlank) {
    TempTree tree;
    const ModuleValues& values = tree.values();
    constexpr int kRows = 72 * 256;  // more pages than the model keeps
    const QDateTime base = at(u"2003/01/01 00:00:00"_s);
    const auto stampOf = [&](int row) {  // the list is newest first
        return base.addSecs(kRows - 1 - row).toString(u"yyyy/MM/dd HH:mm:ss"_s);
    };
    {
        Connection connection(values);
        Transaction transaction(connection);
        for (int row = 0; row < kRows; ++row) {
            connection.Execute(SqlText::insertValues(
                values.tbl_log, {u"/in/%1.log"_s.arg(row), stampOf(row), u"削除"_s, u"x"_s}));
        }
        transaction.commit();
    }
    PagedQueryModel model(values);
    model.setQuery(values.tbl_log, SqlText::selectLog(values.tbl_log));
    ASSERT_EQ(model.rowCount(), kRows);
    const auto stampAt = [&](int row) { return model.index(row, 1).data().toString(); };

    // Down the whole list and back to its top, which has left the cache by then.
    for (int row = 0; row < kRows; row += 255) {
        ASSERT_EQ(stampAt(row), stampOf(row)) << row;
    }
    EXPECT_EQ(stampAt(0), stampOf(0));
    EXPECT_EQ(stampAt(kRows - 1), stampOf(kRows - 1));

    // Rows deleted since the count, and a table that cannot be read, leave blank rows; a page
    // that could not be read is read again once it can.
    model.setQuery(values.tbl_log, SqlText::selectLog(values.tbl_log));
    {
        Connection connection(values);
        connection.Execute(u"DELETE FROM day_log WHERE rowid > %1"_s.arg(kRows - 300));
        connection.Execute(u"ALTER TABLE day_log RENAME TO day_log_away"_s);
    }
    EXPECT_FALSE(model.index(5, 1).data().isValid());
    {
        Connection connection(values);
        connection.Execute(u"ALTER TABLE day_log_away RENAME TO day_log"_s);
    }
    EXPECT_EQ(stampAt(5), stampOf(5));
    EXPECT_EQ(model.rowCount(), kRows);
    EXPECT_FALSE(model.index(kRows - 1, 1).data().isValid());
    EXPECT_EQ(stampAt(kRows - 301), stampOf(kRows - 301));
}
