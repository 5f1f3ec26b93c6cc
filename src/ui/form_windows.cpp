// The windows beside the main one: the preview of the next run and the history of runs.
#include <QEvent>
#include <QScreen>

#include "ui/form_sweeprun.h"
#include "ui/history_window.h"
#include "ui/preview_window.h"

using namespace Qt::StringLiterals;

void Form_sweeprun::placeBeside(QWidget* window) {
    // Beside the main window where the screen has room to read it there, so what it starts can
    // be watched; else as wide as it was made, at the screen's right edge, over the main window.
    // Placed before it is shown: its frame will be as wide as the main window's.
    const QRect area = screen()->availableGeometry();
    const QRect frame = frameGeometry();
    const int border = frame.width() - width();
    const int room = area.right() - frame.right() - border;
    const int least = window->fontMetrics().averageCharWidth() * 60;
    const int width = std::min(window->width(), room >= least ? room : area.width() - border);
    window->resize(width, window->height());
    window->move(
        std::max(area.left(), std::min(frame.right() + 1, area.right() + 1 - width - border)),
        frame.top());
}

void Form_sweeprun::openPreview() {
    if (Preview == nullptr) {
        Preview = new PreviewWindow(m_values, m_fs, m_clock, this);
        connect(Preview, &PreviewWindow::runNowRequested, this, &Form_sweeprun::runNow);
        connect(&m_runs, &RunController::runStarted, Preview,
                [this] { Preview->setRunAllowed(false); });
        // What is left for the next run is planned once the run record shows the run.
        connect(&m_runs, &RunController::runFinished, Preview,
                [this] { Preview->setRunAllowed(true); });
        placeBeside(Preview);
    }
    Preview->setRunAllowed(!m_runs.running());
    Preview->show();
    Preview->raise();
    Preview->activateWindow();
    Preview->plan(m_schedule);
}

void Form_sweeprun::openHistory() {
    if (History == nullptr) {
        History = new HistoryWindow(m_values, m_fs, m_clock, this);
        connect(History, &HistoryWindow::runChosen, this, [this](qint64 id) {
            m_shownRun = id;
            showLogFiltered();
        });
        connect(
            History, &HistoryWindow::undoPlanned, this, [this](qint64 id, const QString& summary) {
                if (!m_runs.running() && m_prompts.confirm(u"実行 "_s + QString::number(id) +
                                                               u" を元に戻しますか？\n"_s + summary,
                                                           History)) {
                    m_runs.undo(id);
                }
            });
        // A run or an undo ends: the history has one run more.
        connect(&m_runs, &RunController::runFinished, History, [this] {
            if (History->isVisible()) {
                History->refresh();
            }
        });
    }
    History->refresh();
    if (!History->isVisible()) {
        placeBeside(History);
    }
    History->show();
    History->raise();
    History->activateWindow();
}

bool Form_sweeprun::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LabelLast && event->type() == QEvent::MouseButtonRelease) {
        openHistory();  // 前回 leads to the history of runs
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
