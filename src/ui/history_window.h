#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include "disk/file_system.h"
#include "storage/module_values.h"
#include "ui/background_work.h"
#include "ui/prompts.h"

// 実行履歴: the runs any program recorded, newest first. Choosing one shows its rows in the log
// list; 元に戻す first works out, as a dry undo, what taking it back would do, then asks.
class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    HistoryWindow(const ModuleValues& values, FileSystem& fs, const Clock& clock, QWidget* parent);

    // Reads the runs again.
    void refresh();

    QTableWidget* List;  // 番号, 処理日時, プログラム, 結果
    QLabel* Status;      // what taking the chosen run back would do
    QPushButton* UndoButton;
    QPushButton* CloseButton;

signals:
    // The run chosen; 0 once none is (the window closed).
    void runChosen(qint64 id);
    // Taking run `id` back was worked out: `summary` says what it would do.
    void undoPlanned(qint64 id, const QString& summary);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void planUndo();
    qint64 chosenRun() const;

    ModuleValues m_values;
    FileSystem& m_fs;
    const Clock& m_clock;
    BackgroundWork m_planning;
};
