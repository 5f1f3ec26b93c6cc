#include "storage/rule_row.h"

#include "storage/connection.h"
#include "storage/sql_text.h"

using namespace Qt::StringLiterals;

bool Rule::sameSettings(const Rule& other) const {
    return source == other.source && destination == other.destination &&
           extension == other.extension && retention == other.retention && process == other.process;
}

QList<Rule> readRules(Connection& connection, const QString& table) {
    QList<Rule> rules;
    for (Recordset rows(connection, SqlText::selectOrdered(table)); !rows.eof(); rows.moveNext()) {
        rules.append({rows.field(u"順序"_s), rows.field(u"元ディレクトリ"_s),
                      rows.field(u"先ディレクトリ"_s), rows.field(u"拡張子"_s),
                      rows.field(u"残存日数"_s), rows.field(u"処理"_s)});
    }
    return rules;
}
