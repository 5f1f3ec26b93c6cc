#include "ui/grid_rows.h"

#include <QAbstractItemModel>
#include <QScrollBar>
#include <QTableView>

int GridRows::topRow() const {
    return m_view->rowAt(0);
}

int GridRows::VisibleRows() const {
    const int top = topRow();
    if (top < 0) {
        return 0;
    }
    int bottom = m_view->rowAt(m_view->viewport()->height() - 1);
    if (bottom < 0) {
        bottom = m_view->model()->rowCount() - 1;
    }
    return bottom - top + 1;
}

void GridRows::Scroll(int rows) {
    // The grid scrolls per item, so the bar's value is the top row; the bar keeps it within
    // the widget's own limits at either end.
    QScrollBar* bar = m_view->verticalScrollBar();
    bar->setValue(bar->value() + rows);
}

bool GridRows::setRow(int r) {
    const int row = topRow() + r;
    if (r < 0 || topRow() < 0 || row >= m_view->model()->rowCount()) {
        return false;
    }
    // The row may be the partly shown one at the bottom: making it current must not scroll.
    const bool autoScroll = m_view->hasAutoScroll();
    m_view->setAutoScroll(false);
    m_view->setCurrentIndex(m_view->model()->index(row, 0));
    m_view->setAutoScroll(autoScroll);
    return true;
}

void positionRuleList(GridRows& grid, int total, int position) {
    if (grid.VisibleRows() <= 0) {
        return;
    }
    if (total - position <= grid.VisibleRows()) {
        const int v = grid.VisibleRows();
        grid.Scroll(total - (total % v));
        int r = grid.VisibleRows() - (total - position);
        if (r >= grid.VisibleRows()) {
            r = grid.VisibleRows() - 1;
        }
        if (r < 0) {
            grid.Scroll(-1);
            r = 0;
        }
        grid.setRow(r);  // a refused row leaves the current row as it was
    } else {
        const int v = grid.VisibleRows();
        grid.Scroll(position - (position % v));
        grid.setRow(position % v);
    }
}
