#include "storage/sql_text.h"

#include "storage/shared_func.h"

using namespace Qt::StringLiterals;

namespace SqlText {

QString selectAll(const QString& table) {
    return u"SELECT * FROM "_s + table;
}

QString countAll(const QString& table) {
    return u"SELECT COUNT(*) FROM "_s + table;
}

QString page(const QString& select, int rows, qint64 offset) {
    return select + u" LIMIT "_s + QString::number(rows) + u" OFFSET "_s + QString::number(offset);
}

QString selectOrdered(const QString& table) {
    return selectAll(table) + u" ORDER BY 順序"_s;
}

QString selectLog(const QString& table, const QString& where) {
    return selectAll(table) + where + u" ORDER BY タイムスタンプ DESC"_s;
}

QString selectBefore(const QString& table, const QString& order) {
    return selectAll(table) + u" WHERE 順序 < '"_s + QuoteSql(order) + u"'"_s;
}

QString selectOrders(const QString& table, bool descending) {
    return u"SELECT 順序 FROM "_s + table +
           (descending ? u" ORDER BY 順序 DESC"_s : u" ORDER BY 順序"_s);
}

QString ruleMatch(const QString& source, const QString& destination, const QString& extension,
                  const QString& retention, const QString& process) {
    return u" WHERE 元ディレクトリ = '"_s + QuoteSql(source) + u"' AND 先ディレクトリ = '"_s +
           QuoteSql(destination) + u"' AND 拡張子 = '"_s + QuoteSql(extension) +
           u"' AND 残存日数 = '"_s + QuoteSql(retention) + u"' AND 処理 = '"_s + QuoteSql(process) +
           u"'"_s;
}

QString deleteOrder(const QString& table, const QString& order) {
    return deleteAll(table) + u" WHERE 順序 = '"_s + QuoteSql(order) + u"'"_s;
}

QString renumberOrder(const QString& table, const QString& newOrder, const QString& oldOrder) {
    return u"UPDATE "_s + table + u" SET 順序 = '"_s + newOrder + u"' WHERE 順序 = '"_s +
           QuoteSql(oldOrder) + u"'"_s;
}

QString renumberMatch(const QString& table, const QString& newOrder, const QString& match) {
    return u"UPDATE "_s + table + u" SET 順序 = '"_s + newOrder + u"'"_s + match;
}

QString deleteAll(const QString& table) {
    return u"DELETE FROM "_s + table;
}

QString deleteLogBefore(const QString& table, const QString& cutoff) {
    return deleteAll(table) + u" WHERE 処理日時 < '"_s + cutoff + u"'"_s;
}

QString insertLogPrepared(const QString& table) {
    return u"INSERT INTO "_s + table + u" VALUES ( ?,?,?,? )"_s;
}

namespace {

QString logRowMatch(qint64 rowid, const QString& path) {
    return u" WHERE rowid = "_s + QString::number(rowid) + u" AND 対象ファイル = '"_s +
           QuoteSql(path) + u"'"_s;
}

}  // namespace

QString updateLogProcess(const QString& table, qint64 rowid, const QString& path,
                         const QString& process) {
    return u"UPDATE "_s + table + u" SET 処理内容 = '"_s + QuoteSql(process) + u"'"_s +
           logRowMatch(rowid, path);
}

QString deleteLogRow(const QString& table, qint64 rowid, const QString& path) {
    return deleteAll(table) + logRowMatch(rowid, path);
}

QString insertValues(const QString& table, const QStringList& values) {
    qsizetype length = table.size() + 32;
    for (const QString& value : values) {
        length += value.size() + 4;
    }
    QString sql;
    sql.reserve(length);
    sql += u"INSERT INTO "_s + table + u" VALUES ( '"_s;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0) {
            sql += u"','"_s;
        }
        sql += QuoteSql(values[i]);
    }
    return sql + u"' );"_s;
}

}  // namespace SqlText
