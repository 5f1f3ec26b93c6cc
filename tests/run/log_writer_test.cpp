#include "run/log_writer.h"

#include <gtest/gtest.h>

#include "storage/connection.h"
#include "storage/run_history.h"
#include "storage/sql_text.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

// "row|run|device|inode|size|mtime|target device|target inode" of each kept identity.
QStringList identities(const TempTree& tree) {
    return tree.select(
        u"SELECT row, run_id, device, inode, size, mtime, target_device, target_inode"
        u" FROM quillon_file ORDER BY row"_s);
}

}  // namespace

TEST(LogWriter, BoundRowsStoreExactlyWhatTheFixedStatementTextStores) {
    const QList<LogRow> rows = {
        {u"/in/it's.log"_s,
         u"2003/03/01 10:00:00"_s,
         u"削除"_s,
         u"2003/03/29 09:05:07"_s,
         {2049, 11, 3, 1046480400}},
        {u"/in/日本 '' ''.log"_s,
         u"2003/03/01 10:00:00"_s,
         u"移動"_s,
         u"2003/03/29 09:05:07"_s,
         {2049, 12, 0, 1046480400}},
        {u"/in/alias\\xff\\x80.log"_s,
         u"0000/01/01 00:00:00"_s,
         u"複写"_s,
         u"x"_s,
         {-1, -2, 1 << 30, -62167219200}},
        {u"  spaced  "_s, u"123"_s, u"圧縮"_s, u"2003/03/29 09:05:07"_s, {}},
        {u""_s, u""_s, u""_s, u""_s, {}},
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
    {
        Connection connection(bound.values());
        RunHistory::ensureTable(connection);
    }
    LogWriter writer(bound.values(), 7);
    writer.submit(rows);
    const QList<qint64> rowids = writer.waitCommitted();

    EXPECT_EQ(bound.storedLogRows(), fixed.storedLogRows());
    EXPECT_EQ(rowids, (QList<qint64>{1, 2, 3, 4, 5}));

    // Each row's identity is kept beside it, under its run, whatever the numbers.
    EXPECT_EQ(identities(bound),
              (QStringList{u"1|7|2049|11|3|1046480400||"_s, u"2|7|2049|12|0|1046480400||"_s,
                           u"3|7|-1|-2|1073741824|-62167219200||"_s, u"4|7|0|0|0|0||"_s,
                           u"5|7|0|0|0|0||"_s}));

    // Corrections find their rows by id and path, in the next transaction; a removed row takes
    // its identity with it, and a copy's target is recorded beside its source.
    writer.submit({}, {{rowids[0], rows[0].path, u"削除失敗"_s, {}},
                       {rowids[1], rows[1].path, {}, {}},
                       {rowids[2], u"/not/that/row"_s, {}, {}},
                       {rowids[2], rows[2].path, {}, FileIdentity{2050, 99, 4, 5}}});
    writer.waitCommitted();
    const QStringList after = bound.storedLogRows();
    ASSERT_EQ(after.size(), 4);
    EXPECT_TRUE(after[0].contains(u"'削除失敗'"_s)) << after[0].toStdString();
    EXPECT_TRUE(after[1].startsWith(u"3|"_s));
    EXPECT_EQ(identities(bound).mid(0, 2),
              (QStringList{u"1|7|2049|11|3|1046480400||"_s,
                           u"3|7|-1|-2|1073741824|-62167219200|2050|99"_s}));
}
