// The rule editor's handlers: the rule list, and registering, changing and deleting rules.
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

bool Form_sweeprun::entryRefused(const Rule& entry) {
    const auto failure = checkRule(entry, m_fs);
    if (!failure) {
        return false;
    }
    m_prompts.message(failure->message);
    QWidget* const fields[] = {Text2, Text3, Option1[0], nullptr};  // in RuleField's order
    if (QWidget* field = fields[static_cast<int>(failure->field)]) {
        field->setFocus();
    }
    return true;
}

void Form_sweeprun::Command3_Click() {
    const Rule entry = ruleEntry();
    if (entryRefused(entry)) {
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
        rulesChanged();
    } catch (const StorageError& error) {
        reportStorage(error);
    }
}

void Form_sweeprun::changeRule() {
    const Rule entry = ruleEntry();
    const QString order = Label1->text().trimmed();
    if (order.isEmpty()) {
        m_prompts.message(u"変更する規則を一覧から選んでください"_s);
        return;
    }
    if (entryRefused(entry)) {
        return;
    }
    try {
        RuleTable table = ruleTable();
        // Two rules of one content would be one rule to the renumbering.
        if (const QString identical = table.findIdentical(entry);
            !identical.isEmpty() && identical != order) {
            m_prompts.message(u"同じ内容の規則が順序 "_s + identical + u" にあります"_s);
            return;
        }
        if (!m_prompts.confirm(u"順序 "_s + order + u" を変更しますか?"_s)) {
            return;
        }
        if (!table.changeRule(order, entry)) {
            m_prompts.message(u"変更する規則を一覧から選んでください"_s);
        }
        ROAD_DSP(order);
        showHighlightedRule();
        rulesChanged();
    } catch (const StorageError& error) {
        reportStorage(error);
    }
}

void Form_sweeprun::Command4_Click() {
    const QString order = Label1->text().trimmed();
    const QString none = u"削除する規則を一覧から選んでください"_s;
    if (order.isEmpty()) {
        m_prompts.message(none);
        return;
    }
    if (!m_prompts.confirm(u"削除しますか?"_s)) {
        return;
    }
    try {
        if (!ruleTable().deleteRule(order)) {
            m_prompts.message(none);
        }
        ROAD_DSP(order);
        showHighlightedRule();
        rulesChanged();
    } catch (const StorageError& error) {
        reportStorage(error);
    }
}

void Form_sweeprun::chooseDirectory(QLineEdit* box) {
    box->setText(chosenDirectory(m_prompts.choosePath(choiceStart(box->text()))));
}

void Form_sweeprun::Command1_Click() {
    chooseDirectory(Text1);
}

void Form_sweeprun::Command5_Click() {
    chooseDirectory(Text5);
}

void Form_sweeprun::showHighlightedRule() {
    if (DataGrid1->selectionModel()->isRowSelected(DataGrid1->currentIndex().row())) {
        DataGrid1_SelChange();
    } else {
        clearRuleEditor();
    }
}

void Form_sweeprun::clearRuleEditor() {
    DataGrid1->clearSelection();
    DataGrid1->setCurrentIndex({});
    for (QLineEdit* box : {Text1, Text5, Text3, Text2}) {
        box->clear();
    }
    Label1->clear();
    for (QRadioButton* option : Option1) {
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
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

void Form_sweeprun::countRule() {
    m_recount = false;
    const Rule rule = ruleEntry();
    if (!m_sourceWatch.directories().isEmpty()) {
        m_sourceWatch.removePaths(m_sourceWatch.directories());
    }
    if (rule.extension.startsWith(u'.')) {
        LabelCount->setText(u"対象: 拡張子は「.」を付けずに入力してください（例: "_s +
                            rule.extension.mid(1) + u"）"_s);
        return;
    }
    if (KAK_CHK(rule.extension)) {
        LabelCount->setText(u"対象: 拡張子に[./\\*?]の記号は使えません"_s);
        return;
    }
    if (rule.source.isEmpty() || rule.extension.isEmpty() || rule.retention.isEmpty()) {
        LabelCount->clear();
        return;
    }
    m_sourceWatch.addPath(rule.source);
    LabelCount->setText(u"計算中…"_s);
    m_runs.countRule(rule);
}
