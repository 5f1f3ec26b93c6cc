#pragma once

#include <QString>
#include <functional>

#include "storage/module_values.h"
#include "storage/rule_row.h"

// Registration, change and deletion in the rule table. Each runs in one transaction: a failure
// part-way leaves the table exactly as it was, so no "_0" number is ever left behind. Throws
// StorageError.
class RuleTable {
public:
    // yield is called after each renumbered row, so the window can repaint.
    RuleTable(const ModuleValues& values, std::function<void()> yield);

    // The order of a stored rule with the same content (compared as the store compares, letter
    // case aside); empty when there is none.
    QString findIdentical(const Rule& entry);
    // Puts the entry directly after the rule numbered `order` (at the end when it is empty),
    // first deleting the identical rules when `overwrite`, renumbers every rule 001… and
    // returns the number the entry received.
    QString registerRule(const Rule& entry, const QString& order, bool overwrite);
    // Replaces the content of the rule numbered `order` with the entry; its place stays.
    // False, changing nothing, when there is no such rule.
    bool changeRule(const QString& order, const Rule& entry);
    // Deletes the rule numbered `order` and closes the gap. False, changing nothing, when there
    // is no such rule.
    bool deleteRule(const QString& order);

    // How many rules there are, and how many of them come before `order`.
    struct Position {
        int total;
        int before;
    };
    Position position(const QString& order);

private:
    QString match(const Rule& entry) const;

    ModuleValues m_values;
    std::function<void()> m_yield;
};

// "001" for 1: the last three characters of "000" followed by the number.
QString orderNumber(int position);
