#include "storage/log_filter.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include "storage/connection.h"
#include "storage/run_history.h"
#include "storage/sql_text.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

// Rows of awkward names: a comma, quotes, an apostrophe, a line break, an invalid byte's text.
const QList<QStringList> kRows = {
    {u"/in/a,b.log"_s, u"2003/03/01 10:00:00"_s, u"削除"_s, u"2003/03/24 09:05:30"_s},
    {u"/in/say \"hi\".log"_s, u"2003/03/02 10:00:00"_s, u"複写失敗"_s, u"2003/03/25 09:05:30"_s},
    {u"/in/it's.log"_s, u"2003/03/03 10:00:00"_s, u"移動"_s, u"2003/03/26 09:05:30"_s},
    {u"/in/two\nlines.log"_s, u"2003/03/04 10:00:00"_s, u"移動失敗"_s, u"2003/03/26 23:59:59"_s},
    {u"/in/bad\\xff.log"_s, u"2003/03/05 10:00:00"_s, u"複写"_s, u"2003/03/27 00:00:00"_s},
};

int shown(const TempTree& tree, const LogFilter& filter) {
    Connection connection(tree.values());
    int rows = 0;
    for (Recordset log(connection, SqlText::selectLog(tree.values().tbl_log, filter.where()));
         !log.eof(); log.moveNext()) {
        ++rows;
    }
    return rows;
}

}  // namespace

TEST(LogFilter, EachPartOfTheFilterNarrowsTheRowsAndTypedTextIsNeverSql) {
    TempTree tree;
    for (const QStringList& row : kRows) {
        tree.addLogRow(row);
    }
    const struct {
        LogFilter filter;
        int rows;
    } cases[] = {
        {{}, 5},
        {{u"it's"_s, {}, {}, {}}, 1},
        {{u"%"_s, {}, {}, {}}, 0},  // no wildcard
        {{u"_"_s, {}, {}, {}}, 0},
        {{u"IN"_s, {}, {}, {}}, 0},  // letter case as typed
        {{u"\\xff"_s, {}, {}, {}}, 1},
        {{{}, kFailuresOnly, {}, {}}, 2},
        {{{}, u"移動"_s, {}, {}}, 1},
        {{{}, {}, QDate(2003, 3, 26), QDate(2003, 3, 26)}, 2},  // the whole last day
        {{{}, {}, QDate(2003, 3, 26), {}}, 3},
        {{{}, {}, {}, QDate(2003, 3, 25)}, 2},
        {{u".log"_s, kFailuresOnly, QDate(2003, 3, 26), {}}, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shown(tree, c.filter), c.rows) << c.filter.where().toStdString();
    }
}

TEST(LogFilter, CsvIsUtf8WithAByteOrderMarkAndQuotesWhatRfc4180Asks) {
    TempTree tree;
    for (const QStringList& row : kRows) {
        tree.addLogRow(row);
    }
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    // The run of 03/26 kept why its file failed; the older run kept nothing.
    {
        Connection connection(tree.values());
        RunHistory::ensureTable(connection);
        const qint64 id = RunHistory::begin(
            connection, tree.values().tbl_log,
            {u"test"_s, at(u"2003/03/26 23:59:59"_s), std::nullopt, u"2003/03/26 23:59:59"_s, {}});
        RunHistory::Finish finish;
        finish.failures = {{u"/in/two\nlines.log"_s, u"先ディレクトリ /out に書き込めません"_s}};
        RunHistory::finish(connection, id, finish);
    }
    writeLogCsv(tree.values(), {{}, {}, {}, QDate(2003, 3, 26)}, out);  // the rows shown
    QStringList lines = {
        u"対象ファイル,タイムスタンプ,処理内容,処理日時,理由"_s,
        u"\"/in/two\nlines.log\",2003/03/04 10:00:00,移動失敗,2003/03/26 23:59:59,"
        u"先ディレクトリ /out に書き込めません"_s,
        u"/in/it's.log,2003/03/03 10:00:00,移動,2003/03/26 09:05:30,"_s,
        u"\"/in/say \"\"hi\"\".log\",2003/03/02 10:00:00,複写失敗,2003/03/25 09:05:30,"_s,
        u"\"/in/a,b.log\",2003/03/01 10:00:00,削除,2003/03/24 09:05:30,"_s,
    };
    EXPECT_EQ(out.data(), "\xEF\xBB\xBF" + (lines.join(u"\r\n"_s) + u"\r\n"_s).toUtf8());

    // A name that was no UTF-8 stays in its one-line text form.
    QBuffer all;
    all.open(QIODevice::WriteOnly);
    writeLogCsv(tree.values(), {}, all);
    lines.insert(1, u"/in/bad\\xff.log,2003/03/05 10:00:00,複写,2003/03/27 00:00:00,"_s);
    EXPECT_EQ(all.data(), "\xEF\xBB\xBF" + (lines.join(u"\r\n"_s) + u"\r\n"_s).toUtf8());
}
