#pragma once

#include <QAbstractItemModel>
#include <memory>

#include "run/run_plan.h"

// A run's plan as a tree: a row for each rule (順序, 処理, folders, how many files and their
// size), and under it a row for each file it would handle, in the run's order. Rows are made
// as the view asks for them, so a plan of a million files costs the view nothing more.
class PlanModel : public QAbstractItemModel {
public:
    enum Column { Target, Process, Count, Stamp, Size, ColumnCount };

    void setPlan(std::shared_ptr<const RunPlan> plan);
    const RunPlan* plan() const { return m_plan.get(); }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVariant ruleData(const RunPlan::PlannedRule& rule, int column, int role) const;
    QVariant fileData(const RunPlan::PlannedRule& rule, qsizetype file, int column, int role) const;

    std::shared_ptr<const RunPlan> m_plan;
};

// "順序 001: /src/*.log → /dst", without the arrow for a deletion.
QString planRuleText(const Rule& rule);
