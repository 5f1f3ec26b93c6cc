#pragma once

#include <QList>
#include <QString>
#include <QTableView>
#include <functional>
#include <utility>

// Columns whose every value must show whole get the width their longest text needs in the
// grid's font (or their header's, if wider); some get a width of their own (`fixed`, in pixels);
// the rest of the grid is split among the remaining columns.
void fitColumns(QTableView* grid, const QList<std::pair<int, QString>>& fitted,
                const QList<std::pair<int, int>>& fixed, const QList<int>& rest);

// Runs the grid's query again and shows its top, keeping the widths the user gave the columns;
// `fit` sizes them the first time.
void refill(QTableView* grid, const std::function<void()>& query, const std::function<void()>& fit);
