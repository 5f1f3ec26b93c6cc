#include <gtest/gtest.h>

#include <QApplication>

#include "support/temp_tree.h"
#include "support/window_test.h"
#include "ui/form_sweeprun.h"
#include "ui/grid_rows.h"

using namespace Qt::StringLiterals;

namespace {

class RuleListTest : public WindowTest {
protected:
    Form_sweeprun& start(int rules) {
        for (int i = 1; i <= rules; ++i) {
            tree.addRule({u"%1"_s.arg(i, 3, 10, QLatin1Char('0')), u"/src"_s, u"/dst"_s, u"txt"_s,
                          u"7"_s, u"削除"_s});
        }
        return WindowTest::start();
    }
    // The order of the current rule, and the row shown at the top.
    std::pair<QString, int> current() {
        QTableView* grid = form->DataGrid1;
        const QModelIndex index = grid->currentIndex();
        return {
            index.isValid() ? grid->model()->index(index.row(), 0).data().toString() : QString(),
            grid->rowAt(0)};
    }
};

}  // namespace

TEST_F(RuleListTest, AnEmptyListHasNoCurrentRow) {
    Form_sweeprun& f = start(0);
    f.ROAD_DSP(QString());
    EXPECT_EQ(f.DataGrid1->model()->rowCount(), 0);
    EXPECT_EQ(current().first, QString());
    EXPECT_EQ(f.DataGrid1->model()->headerData(1, Qt::Horizontal).toString(), u"元ディレクトリ"_s);
}

TEST_F(RuleListTest, TheRuleIsShownPagedFromTheTopOrCountedBackFromTheEnd) {
    Form_sweeprun& f = start(100);
    GridRows rows(f.DataGrid1);
    const int v = rows.VisibleRows();
    ASSERT_GT(v, 2);
    ASSERT_LT(v, 50);

    f.ROAD_DSP(QString());
    EXPECT_EQ(current(), std::make_pair(u"001"_s, 0));

    f.ROAD_DSP(u"050"_s);  // 49 rules before it, many after
    EXPECT_EQ(current(), std::make_pair(u"050"_s, 49 - 49 % v));

    f.ROAD_DSP(u"099"_s);  // among the last rows: the list is at its end
    EXPECT_EQ(current().first, u"099"_s);
    EXPECT_EQ(f.DataGrid1->rowAt(f.DataGrid1->viewport()->height() - 1), 99);

    f.ROAD_DSP(u"999"_s);  // past the end: the last row
    EXPECT_EQ(current().first, u"100"_s);

    f.ROAD_DSP(u"0'1"_s);  // an apostrophe reaches SQL doubled, not as an error
    EXPECT_EQ(current().first, u"001"_s);
}
