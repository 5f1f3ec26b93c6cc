#include "ui/plan_model.h"

#include <QColor>

#include "run/run_notice.h"
#include "text/date_time_text.h"
#include "text/number_text.h"

using namespace Qt::StringLiterals;

namespace {

// A file row's internal id is its rule's index plus one; a rule row's is 0.
constexpr quintptr kRuleRow = 0;

const QColor kFailedText(150, 0, 0);

}  // namespace

QString planRuleText(const Rule& rule) {
    QString text = u"順序 "_s + rule.order + u": "_s + rule.source + u"/*."_s + rule.extension;
    if (rule.copies()) {
        text += u" → "_s + rule.destination;
    }
    return text;
}

void PlanModel::setPlan(std::shared_ptr<const RunPlan> plan) {
    beginResetModel();
    m_plan = std::move(plan);
    endResetModel();
}

QModelIndex PlanModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent)) {
        return {};
    }
    return createIndex(row, column,
                       parent.isValid() ? static_cast<quintptr>(parent.row()) + 1 : kRuleRow);
}

QModelIndex PlanModel::parent(const QModelIndex& index) const {
    if (!index.isValid() || index.internalId() == kRuleRow) {
        return {};
    }
    return createIndex(static_cast<int>(index.internalId() - 1), 0, kRuleRow);
}

int PlanModel::rowCount(const QModelIndex& parent) const {
    if (m_plan == nullptr) {
        return 0;
    }
    if (!parent.isValid()) {
        return static_cast<int>(m_plan->rules.size());
    }
    if (parent.internalId() != kRuleRow || parent.column() != 0) {
        return 0;
    }
    return static_cast<int>(m_plan->rules[parent.row()].fileCount);
}

int PlanModel::columnCount(const QModelIndex&) const {
    return ColumnCount;
}

QVariant PlanModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const QStringList headers = {u"対象"_s, u"処理"_s, u"件数"_s, u"更新日時"_s,
                                        u"サイズ"_s};
    return headers.value(section);
}

QVariant PlanModel::data(const QModelIndex& index, int role) const {
    if (m_plan == nullptr || !index.isValid()) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() == Count || index.column() == Size;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (index.internalId() == kRuleRow) {
        return ruleData(m_plan->rules[index.row()], index.column(), role);
    }
    const RunPlan::PlannedRule& rule =
        m_plan->rules[static_cast<qsizetype>(index.internalId() - 1)];
    return fileData(rule, rule.firstFile + index.row(), index.column(), role);
}

QVariant PlanModel::ruleData(const RunPlan::PlannedRule& rule, int column, int role) const {
    const bool problem = !rule.problem.isEmpty();
    if (role == Qt::ForegroundRole) {
        return problem ? QVariant(kFailedText) : QVariant();
    }
    if (role == Qt::ToolTipRole) {
        return problem ? rule.problem : planRuleText(rule.rule);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (column) {
        case Target:
            return planRuleText(rule.rule);
        case Process:
            return processLabel(rule.rule, m_plan->outcome.trashes);
        case Count:
            return problem ? u"失敗"_s : countText(rule.fileCount - rule.heldCount) + u" 件"_s;
        case Size:
            return sizeText(rule.bytes);
        default:
            return {};
    }
}

QVariant PlanModel::fileData(const RunPlan::PlannedRule& rule, qsizetype file, int column,
                             int role) const {
    const auto failure = m_plan->failures.constFind(file);
    const bool failed = failure != m_plan->failures.cend();
    if (role == Qt::ForegroundRole) {
        return failed ? QVariant(kFailedText) : QVariant();
    }
    if (role == Qt::ToolTipRole) {
        QString tip = m_plan->path(rule, file);
        if (rule.rule.copies()) {
            tip += u" → "_s + m_plan->target(rule, file);
        }
        if (m_plan->replacing.contains(file)) {
            tip += u"\n上書き: "_s + m_plan->target(rule, file) +
                   (m_plan->outcome.trashes ? u"（ごみ箱へ）"_s : QString());
        }
        return failed ? tip + u'\n' + *failure : tip;
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (column) {
        case Target:
            return m_plan->path(rule, file);
        case Process:
            if (m_plan->held.contains(file)) {
                return u"保留"_s;
            }
            if (failed) {
                return rule.rule.process + u"失敗"_s;
            }
            return m_plan->replacing.contains(file)
                       ? rule.rule.process + u"（上書き）"_s
                       : processLabel(rule.rule, m_plan->outcome.trashes);
        case Stamp:
            return stampText(m_plan->mtime(file));
        case Size:
            return sizeText(m_plan->size(file));
        default:
            return {};
    }
}
