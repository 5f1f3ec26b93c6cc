#include "storage/sql_text.h"

#include "storage/shared_func.h"

using namespace Qt::StringLiterals;

namespace SqlText {

QString selectAll(const QString& table) {
    return u"SELECT * FROM "_s + table;
}

QString selectOrdered(const QString& table) {
    return selectAll(table) + u" ORDER BY 順序"_s;
}

QString selectLog(const QString& table) {
    return selectAll(table) + u" ORDER BY タイムスタンプ DESC"_s;
}

QString selectBefore(const QString& table, const QString& order) {
    return selectAll(table) + u" WHERE 順序 < '"_s + QuoteSql(order) + u"'"_s;
}

QString deleteAll(const QString& table) {
    return u"DELETE FROM "_s + table;
}

QString deleteLogBefore(const QString& table, const QString& cutoff) {
    return deleteAll(table) + u" WHERE 処理日時 < '"_s + cutoff + u"'"_s;
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
