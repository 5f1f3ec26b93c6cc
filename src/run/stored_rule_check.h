#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "storage/rule_row.h"

// Why the stored rules cannot be run as they stand, for the first rule that fails the checks
// registration makes: "順序　003　の設定が正しくありません（残存日数「７」）". Read loosely, a
// retention of "７" or "abc" would be 0 days and every file of the folder would go, so a rule
// that anyone edited outside the window is checked again before a run touches anything.
// Nothing when every rule can run.
std::optional<QString> storedRulesProblem(const QList<Rule>& rules);
