#include "ui/history_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "run/run_notice.h"
#include "run/undo_run.h"
#include "storage/connection.h"
#include "storage/run_history.h"
#include "storage/storage_error.h"
#include "text/number_text.h"

using namespace Qt::StringLiterals;

namespace {

// Counts what a dry undo would do, file by file.
class UndoCounter : public RunObserver {
public:
    void fileHandled(const FileReport& report) override {
        if (report.status == FileStatus::Failed) {
            reasons << undoFailureText({{}, report.rule.process, report.path, report.reason});
        }
    }
    QStringList reasons;
};

}  // namespace

HistoryWindow::HistoryWindow(const ModuleValues& values, FileSystem& fs, const Clock& clock,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), m_values(values), m_fs(fs), m_clock(clock) {
    setObjectName(u"HistoryWindow"_s);
    setWindowTitle(u"実行履歴"_s);
    List = new QTableWidget(0, 4);
    List->setHorizontalHeaderLabels({u"番号"_s, u"処理日時"_s, u"プログラム"_s, u"結果"_s});
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->verticalHeader()->hide();
    List->horizontalHeader()->setStretchLastSection(true);
    Status = new QLabel;
    Status->setWordWrap(true);
    Status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    UndoButton = new QPushButton(u"元に戻す"_s);
    UndoButton->setEnabled(false);
    CloseButton = new QPushButton(u"閉じる"_s);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Status, 1);
    bottom->addWidget(UndoButton);
    bottom->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List, 1);
    layout->addLayout(bottom);
    resize(fontMetrics().averageCharWidth() * 90, fontMetrics().height() * 24);

    connect(List, &QTableWidget::itemSelectionChanged, this, [this] {
        m_planning.cancel();
        Status->clear();
        UndoButton->setEnabled(chosenRun() > 0);
        emit runChosen(chosenRun());
    });
    connect(UndoButton, &QPushButton::clicked, this, &HistoryWindow::planUndo);
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
}

void HistoryWindow::refresh() {
    QList<RunHistory::Recorded> runs;
    QString problem;
    try {
        Connection connection(m_values);
        runs = RunHistory::recent(connection, 200);
    } catch (const StorageError& error) {
        problem = error.message();
    }
    const QSignalBlocker quiet(List);
    List->setRowCount(static_cast<int>(runs.size()));
    for (int row = 0; row < runs.size(); ++row) {
        const RunHistory::Recorded& run = runs[row];
        const QStringList cells = {QString::number(run.id), run.result.runText, run.program,
                                   recordedResultText(run)};
        for (int column = 0; column < cells.size(); ++column) {
            List->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
    }
    List->resizeColumnsToContents();
    // Read again, the list has nothing chosen, and the log list shows every run.
    List->setCurrentCell(-1, -1);
    List->clearSelection();
    UndoButton->setEnabled(false);
    Status->setText(problem);
    emit runChosen(0);
}

qint64 HistoryWindow::chosenRun() const {
    const int row = List->currentRow();
    return row < 0 || List->selectedItems().isEmpty() ? 0 : List->item(row, 0)->text().toLongLong();
}

void HistoryWindow::planUndo() {
    const qint64 id = chosenRun();
    if (id <= 0) {
        return;
    }
    Status->setText(u"計算中…"_s);
    UndoButton->setEnabled(false);
    // The same code as the undo itself, on a model of the tree.
    m_planning.start([this, id, values = m_values, fs = &m_fs,
                      now = m_clock.now()](const std::atomic<bool>&) -> BackgroundWork::Delivery {
        UndoCounter counter;
        const UndoOutcome outcome = UndoRun(values, *fs, &counter, RunMode::Dry).undo(id, now);
        return [this, id, outcome, reasons = counter.reasons] {
            UndoButton->setEnabled(true);
            if (!outcome.storageError.isEmpty() || outcome.missing) {
                Status->setText(outcome.missing
                                    ? u"実行 "_s + QString::number(id) + u" の記録がありません"_s
                                    : outcome.storageError);
                return;
            }
            QString summary = u"元に戻す "_s + countText(outcome.doneFiles) + u" 件"_s;
            if (!outcome.failures.isEmpty()) {
                summary += u"、戻せない "_s + countText(outcome.failures.size()) + u" 件"_s;
                if (outcome.goneForGood > 0) {
                    summary += u"（うち完全に削除されたもの "_s + countText(outcome.goneForGood) +
                               u" 件）"_s;
                }
                summary += u'\n' + reasons.mid(0, 5).join(u'\n');
            }
            Status->setText(summary);
            emit undoPlanned(id, summary);
        };
    });
}

void HistoryWindow::closeEvent(QCloseEvent* event) {
    m_planning.cancel();
    emit runChosen(0);
    QWidget::closeEvent(event);
}
