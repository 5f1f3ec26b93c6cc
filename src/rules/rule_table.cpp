#include "rules/rule_table.h"

#include <QList>

#include "storage/connection.h"
#include "storage/sql_text.h"

using namespace Qt::StringLiterals;

namespace {

int countRows(Connection& connection, const QString& sql) {
    int rows = 0;
    for (Recordset recordset(connection, sql); !recordset.eof(); recordset.moveNext()) {
        ++rows;
    }
    return rows;
}

bool hasRule(Connection& connection, const QString& table, const QString& order) {
    for (const Rule& rule : readRules(connection, table)) {
        if (rule.order == order) {
            return true;
        }
    }
    return false;
}

}  // namespace

QString orderNumber(int position) {
    return (u"000"_s + QString::number(position)).right(3);
}

RuleTable::RuleTable(const ModuleValues& values, std::function<void()> yield)
    : m_values(values), m_yield(std::move(yield)) {}

QString RuleTable::match(const Rule& entry) const {
    return SqlText::ruleMatch(entry.source, entry.destination, entry.extension, entry.retention,
                              entry.process);
}

QString RuleTable::findIdentical(const Rule& entry) {
    Connection connection(m_values);
    Recordset rows(connection, SqlText::selectAll(m_values.tbl_rule) + match(entry));
    return rows.eof() ? QString() : rows.field(u"順序"_s);
}

QString RuleTable::registerRule(const Rule& entry, const QString& order, bool overwrite) {
    Connection connection(m_values);
    Transaction transaction(connection);
    if (overwrite) {
        connection.Execute(SqlText::deleteAll(m_values.tbl_rule) + match(entry));
    }
    // "_0" sorts right after its anchor, so the renumbering puts the entry in its place.
    QString label = order.trimmed();
    if (label.isEmpty()) {
        Recordset highest(connection, SqlText::selectOrders(m_values.tbl_rule, true));
        label = highest.eof() ? u"001"_s : (u"000"_s + highest.field(u"順序"_s)).right(3) + u"_0"_s;
    } else {
        label += u"_0"_s;
    }
    connection.Execute(SqlText::insertValues(
        m_values.tbl_rule,
        {label, entry.source, entry.destination, entry.extension, entry.retention, entry.process}));

    const QList<Rule> rows = readRules(connection, m_values.tbl_rule);
    for (int n = 1; n <= rows.size(); ++n) {
        const Rule& row = rows[n - 1];
        const QString number = orderNumber(n);
        if (row.sameSettings(entry)) {
            label = number;
        }
        connection.Execute(SqlText::renumberMatch(m_values.tbl_rule, number, match(row)));
        m_yield();
    }
    transaction.commit();
    return label;
}

bool RuleTable::changeRule(const QString& order, const Rule& entry) {
    Connection connection(m_values);
    Transaction transaction(connection);
    if (!hasRule(connection, m_values.tbl_rule, order.trimmed())) {
        return false;
    }
    connection.Execute(SqlText::deleteOrder(m_values.tbl_rule, order.trimmed()));
    connection.Execute(SqlText::insertValues(
        m_values.tbl_rule, {order.trimmed(), entry.source, entry.destination, entry.extension,
                            entry.retention, entry.process}));
    transaction.commit();
    return true;
}

bool RuleTable::deleteRule(const QString& order) {
    Connection connection(m_values);
    Transaction transaction(connection);
    if (!hasRule(connection, m_values.tbl_rule, order.trimmed())) {
        return false;
    }
    connection.Execute(SqlText::deleteOrder(m_values.tbl_rule, order.trimmed()));
    QStringList orders;
    for (Recordset all(connection, SqlText::selectOrders(m_values.tbl_rule, false)); !all.eof();
         all.moveNext()) {
        orders << all.field(u"順序"_s);
    }
    for (int n = 1; n <= orders.size(); ++n) {
        connection.Execute(
            SqlText::renumberOrder(m_values.tbl_rule, orderNumber(n), orders[n - 1]));
        m_yield();
    }
    transaction.commit();
    return true;
}

RuleTable::Position RuleTable::position(const QString& order) {
    Connection connection(m_values);
    return {countRows(connection, SqlText::selectAll(m_values.tbl_rule)),
            countRows(connection, SqlText::selectBefore(m_values.tbl_rule, order))};
}
