#include "run/stored_rule_check.h"

#include <algorithm>
#include <cmath>

#include "text/number_text.h"

using namespace Qt::StringLiterals;

namespace {

// A plain number of days, 0 or more, that reads as the value it shows: "1" followed by four
// hundred zeros is no number of days a run can count.
bool plainRetention(const QString& text) {
    if (!IsNumeric(text)) {
        return false;
    }
    const double days = Val(text);
    const bool zero =
        !std::any_of(text.begin(), text.end(), [](QChar c) { return c >= u'1' && c <= u'9'; });
    return std::isfinite(days) && days >= 0 && (days > 0 || zero);
}

bool absolute(const QString& path) {
    return path.startsWith(u'/');
}

// The field that fails, as "残存日数「７」"; empty when the rule can run.
QString failingField(const Rule& rule) {
    const auto field = [](const QString& name, const QString& value) {
        return name + u"「"_s + value + u"」"_s;
    };
    if (!plainRetention(rule.retention)) {
        return field(u"残存日数"_s, rule.retention);
    }
    if (!rule.copies() && rule.process != kDeleteProcess) {
        return field(u"処理"_s, rule.process);
    }
    if (!absolute(rule.source)) {
        return field(u"元ディレクトリ"_s, rule.source);
    }
    if (rule.copies() && !absolute(rule.destination)) {
        return field(u"先ディレクトリ"_s, rule.destination);
    }
    return {};
}

}  // namespace

std::optional<QString> storedRulesProblem(const QList<Rule>& rules) {
    for (const Rule& rule : rules) {
        if (const QString field = failingField(rule); !field.isEmpty()) {
            return u"順序　"_s + rule.order + u"　の設定が正しくありません（"_s + field + u"）"_s;
        }
    }
    return std::nullopt;
}
