#include "ui/grid_columns.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>

void fitColumns(QTableView* grid, const QList<std::pair<int, QString>>& fitted,
                const QList<std::pair<int, int>>& fixed, const QList<int>& rest) {
    // What a cell draws around its text: the focus frame's margin and a pixel on either side,
    // and the grid line.
    const int cellMargin =
        2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1) + 1;
    int left = grid->width() - 2 * grid->frameWidth() - grid->verticalHeader()->width() -
               grid->verticalScrollBar()->sizeHint().width();
    for (const auto& [column, text] : fitted) {
        const int width = std::max(grid->fontMetrics().horizontalAdvance(text) + cellMargin,
                                   grid->horizontalHeader()->sectionSizeHint(column));
        grid->setColumnWidth(column, width);
        left -= width;
    }
    for (const auto& [column, width] : fixed) {
        grid->setColumnWidth(column, width);
        left -= width;
    }
    for (const int column : rest) {
        grid->setColumnWidth(column, std::max(left / static_cast<int>(rest.size()), 8));
    }
}

void refill(QTableView* grid, const std::function<void()>& query,
            const std::function<void()>& fit) {
    // Widths the user gave the columns stay until the window closes.
    QList<int> widths;
    for (int column = 0; column < grid->model()->columnCount(); ++column) {
        widths << grid->columnWidth(column);
    }
    query();
    // A refreshed list starts at its top, with its scroll range already fitted to the rows.
    grid->doItemsLayout();
    grid->scrollToTop();
    if (widths.isEmpty() || widths.size() != grid->model()->columnCount()) {
        fit();
        return;
    }
    for (int column = 0; column < widths.size(); ++column) {
        grid->setColumnWidth(column, widths[column]);
    }
}
