#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include "storage/log_filter.h"

// The search line over the run log: text in the path, the process (or failures only) and the
// days of the run. Typing settles for a moment before the list follows; Enter applies at once,
// Esc clears the line and closes it.
class LogFilterBar : public QWidget {
    Q_OBJECT

public:
    explicit LogFilterBar(QWidget* parent = nullptr);

    LogFilter filter() const;
    // Opens the line with the focus in its text.
    void open();
    void showHits(qsizetype rows);

    QLineEdit* text;
    QComboBox* process;
    QLineEdit* from;
    QLineEdit* to;
    QLabel* hits;          // how many rows the list shows
    QPushButton* saveCsv;  // CSV に保存
    QToolButton* closer;

signals:
    void changed();
    void saveRequested();
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void close();

    QTimer m_settle;
};
