#pragma once

class QTableView;

// The three things the rule list's positioning needs of its grid.
class GridRows {
public:
    explicit GridRows(QTableView* view) : m_view(view) {}

    // Rows that hold data and are shown, a partly shown row included.
    int VisibleRows() const;
    // Scrolls by whole rows, down for a positive count.
    void Scroll(int rows);
    // Makes row r of the shown rows (0 = top shown row) current; false when there is none.
    bool setRow(int r);

private:
    int topRow() const;

    QTableView* m_view;
};

// Scrolls the list so that the rule at the given position (the number of rules before it) is
// shown and current: pages of VisibleRows from the top, or the list's end for the last rules.
void positionRuleList(GridRows& grid, int total, int position);
