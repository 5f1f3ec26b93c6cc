// The rule editor's handlers: the rule list, and registering and deleting rules.
#include <QCoreApplication>
#include <QDir>
#include <QScopedValueRollback>

#include "rules/directory_choice.h"
#include "rules/rule_table.h"
#include "storage/sql_text.h"
#include "storage/storage_error.h"
#include "ui/form_sweeprun.h"
#include "ui/grid_columns.h"
#include "ui/grid_rows.h"

using namespace Qt::StringLiterals;

void Form_sweeprun::ROAD_DSP(const QString& order) {
    const RuleTable::Position position = ruleTable().position(order);
    // The list's own positioning fills nothing into the editor.
    const QScopedValueRollback positioning(m_positioningRules, true);
    refill(
        DataGrid1,
        [this] {
            m_ruleModel.setQuery(m_values.tbl_rule, SqlText::selectOrdered(m_values.tbl_rule));
        },
        [this] {
            fitColumns(DataGrid1, {{0, u"000"_s}, {5, kCopyProcess}},
                       {{3, shareWidth(1100)}, {4, shareWidth(1100)}}, {1, 2});
        });
    GridRows rows(DataGrid1);
    positionRuleList(rows, position.total, position.before);
}

RuleTable Form_sweeprun::ruleTable() const {
    // Repaints go on while the table is renumbered, but no second action can start.
    return RuleTable(m_values,
                     [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

Rule Form_sweeprun::ruleEntry() const {
    QString process;
    for (const QRadioButton* option : Option1) {
        if (option->isChecked()) {
            process = option->text();
        }
    }
    return {{},
            Text1->text().trimmed(),
            Text5->text().trimmed(),
            Text3->text().trimmed(),
            Text2->text().trimmed(),
            process};
}

void Form_sweeprun::Command3_Click() {
    const Rule entry = ruleEntry();
    if (const auto failure = checkRule(entry, m_fs)) {
        m_prompts.message(failure->message);
        QWidget* const fields[] = {Text2, Text3, Option1[0], nullptr};  // in RuleField's order
        if (QWidget* field = fields[static_cast<int>(failure->field)]) {
            field->setFocus();
        }
        return;
    }
    try {
        RuleTable table = ruleTable();
        const QString identical = table.findIdentical(entry);
        if (!identical.isEmpty()) {
            Label1->setText(identical);
            if (!m_prompts.confirm(u"上書きしますか?"_s)) {
                ROAD_DSP(Label1->text());
                return;
            }
        }
        Label1->setText(table.registerRule(entry, Label1->text(), !identical.isEmpty()));
        ROAD_DSP(Label1->text());
    } catch (const StorageError& error) {
        reportStorage(error);
    }
}

void Form_sweeprun::Command4_Click() {
    if (!m_prompts.confirm(u"削除しますか?"_s)) {
        return;
    }
    try {
        RuleTable table = ruleTable();
        table.deleteRule(Label1->text());
        ROAD_DSP(Label1->text());
    } catch (const StorageError& error) {
        reportStorage(error);
    }
}

void Form_sweeprun::chooseDirectory(QLineEdit* box) {
    box->setText(chosenDirectory(m_prompts.choosePath(QDir::currentPath())));
}

void Form_sweeprun::Command1_Click() {
    chooseDirectory(Text1);
}

void Form_sweeprun::Command5_Click() {
    chooseDirectory(Text5);
}

void Form_sweeprun::DataGrid1_SelChange() {
    const int row = DataGrid1->currentIndex().row();
    if (row < 0) {
        return;
    }
    const auto cell = [this, row](int column) {
        return DataGrid1->model()->index(row, column).data().toString().trimmed();
    };
    Label1->setText(cell(0));
    Text1->setText(cell(1));
    Text5->setText(cell(2));
    Text3->setText(cell(3));
    Text2->setText(cell(4));
    for (QRadioButton* option : Option1) {
        if (cell(5) == option->text()) {
            option->setChecked(true);
        }
    }
}
