#include <gtest/gtest.h>

#include <QTest>

#include <QApplication>
#include <QDir>
#include <QFile>

#include "rules/rule_table.h"
#include "storage/connection.h"
#include "storage/sql_text.h"
#include "support/temp_tree.h"
#include "support/window_test.h"
#include "ui/form_sweeprun.h"
#include "ui/preview_window.h"

using namespace Qt::StringLiterals;

namespace {

class RuleEditorTest : public WindowTest {
protected:
    RuleEditorTest() {
        in = tree.dir(u"in"_s);
        out = tree.dir(u"out"_s);
    }

    Form_sweeprun& start() {
        WindowTest::start();  // no schedule: the window stays in settings mode
        prompts.messages.clear();
        return *form;
    }

    // Fills the editor; process is an index of Option1, or -1 for none.
    void edit(const QString& source, const QString& destination, const QString& extension,
              const QString& retention, int process) {
        form->Text1->setText(source);
        form->Text5->setText(destination);
        form->Text3->setText(extension);
        form->Text2->setText(retention);
        if (process >= 0) {
            form->Option1[static_cast<size_t>(process)]->setChecked(true);
        }
    }

    QList<QStringList> rules() {
        Connection connection(tree.values());
        QList<QStringList> rows;
        for (const Rule& rule : readRules(connection, tree.values().tbl_rule)) {
            rows.append({rule.order, rule.source, rule.destination, rule.extension, rule.retention,
                         rule.process});
        }
        return rows;
    }

    void addRules(int count) {
        for (int i = 1; i <= count; ++i) {
            tree.addRule({u"00%1"_s.arg(i), in, out, u"r%1"_s.arg(i), u"7"_s, kCopyProcess});
        }
    }

    QStringList orderAndExtension() {
        QStringList rows;
        for (const QStringList& rule : rules()) {
            rows << rule[0] + u' ' + rule[3];
        }
        return rows;
    }

    // A click on the rule's row, as the user picks it.
    void pick(int row) {
        QTableView* grid = form->DataGrid1;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(row, 1)).center());
    }
    static void retype(QLineEdit* box, const QString& text) {
        box->selectAll();
        QTest::keyClicks(box, text);
    }

    QString in;
    QString out;
};

}  // namespace

TEST_F(RuleEditorTest, RegistrationAppendsOrInsertsAfterTheShownRule) {
    Form_sweeprun& f = start();
    edit(u" "_s + in + u" "_s, out, u" txt "_s, u" 1.5 "_s, 0);
    f.Command3_Click();
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(u'\n').toStdString();
    EXPECT_EQ(rules(), (QList<QStringList>{{u"001"_s, in, out, u"txt"_s, u"1.5"_s, kCopyProcess}}));
    EXPECT_EQ(f.Label1->text(), u"001"_s);

    edit(in, out, u"csv"_s, u"0"_s, 0);
    f.Label1->clear();
    f.Command3_Click();
    EXPECT_EQ(f.Label1->text(), u"002"_s);

    edit(in, u""_s, u"log"_s, u"7"_s, 2);  // a delete rule needs no destination
    f.Label1->setText(u"001"_s);
    f.Command3_Click();
    EXPECT_EQ(f.Label1->text(), u"002"_s);
    EXPECT_EQ(orderAndExtension(), (QStringList{u"001 txt"_s, u"002 log"_s, u"003 csv"_s}));
    EXPECT_EQ(rules()[1], (QStringList{u"002"_s, in, u""_s, u"log"_s, u"7"_s, kDeleteProcess}));
    EXPECT_EQ(f.DataGrid1->model()->rowCount(), 3);
    EXPECT_EQ(f.DataGrid1->currentIndex().row(), 1);
}

TEST_F(RuleEditorTest, AnIdenticalRuleIsOfferedForOverwriting) {
    addRules(3);
    const QString quoted = tree.dir(u"it's"_s);
    tree.addRule({u"004"_s, quoted, out, u"txt"_s, u"7"_s, kCopyProcess});
    Form_sweeprun& f = start();

    // Cancel: nothing changes, the editor shows the existing rule's number.
    prompts.answer = false;
    edit(in, out, u"r2"_s, u"7"_s, 0);
    f.Command3_Click();
    EXPECT_EQ(prompts.messages, QStringList{u"上書きしますか?"_s});
    EXPECT_EQ(f.Label1->text(), u"002"_s);
    EXPECT_EQ(rules().size(), 4);

    // OK, with a difference in letter case only: replaced in place.
    prompts.answer = true;
    prompts.messages.clear();
    edit(in, out, u"R2"_s, u"7"_s, 0);
    f.Label1->clear();
    f.Command3_Click();
    EXPECT_EQ(prompts.messages, QStringList{u"上書きしますか?"_s});
    EXPECT_EQ(f.Label1->text(), u"002"_s);
    EXPECT_EQ(orderAndExtension(),
              (QStringList{u"001 r1"_s, u"002 R2"_s, u"003 r3"_s, u"004 txt"_s}));

    // An apostrophe is stored once and found again.
    prompts.messages.clear();
    edit(quoted, out, u"txt"_s, u"7"_s, 0);
    f.Command3_Click();
    EXPECT_EQ(prompts.messages, QStringList{u"上書きしますか?"_s});
    EXPECT_EQ(f.Label1->text(), u"004"_s);
    EXPECT_EQ(rules()[3][1], quoted);
}

TEST_F(RuleEditorTest, EachCheckHasItsMessageAndWritesNothing) {
    Form_sweeprun& f = start();
    struct Case {
        QString source, destination, extension, retention;
        int process;
        QString message;
        QWidget* focus;
    };
    const Case cases[] = {
        {in, out, u"txt"_s, u"abc"_s, 0, u"残存日数は数値で入力してください"_s, f.Text2},
        {in, out, u"txt"_s, u""_s, 0, u"残存日数は数値で入力してください"_s, f.Text2},
        {in, out, u"txt"_s, u"-1"_s, 0, u"残存日数は０以上の数値で入力してください"_s, f.Text2},
        {in, out, u"  "_s, u"7"_s, 0, u"拡張子が設定されていません"_s, f.Text3},
        {in, out, u".txt"_s, u"7"_s, 0, u"拡張子に[./\\*?]の記号は使えません"_s, f.Text3},
        {in, out, u"a/b"_s, u"7"_s, 0, u"拡張子に[./\\*?]の記号は使えません"_s, f.Text3},
        {in, out, u"*"_s, u"7"_s, 0, u"拡張子に[./\\*?]の記号は使えません"_s, f.Text3},
        {in, out, u"t?t"_s, u"7"_s, 0, u"拡張子に[./\\*?]の記号は使えません"_s, f.Text3},
        {in, out, u"txt"_s, u"7"_s, -1, u"処理を選択してください"_s, f.Option1[0]},
        {tree.path(u"none"_s), out, u"txt"_s, u"7"_s, 0, u"元ディレクトリが存在しません"_s,
         nullptr},
        {in, tree.path(u"none"_s), u"txt"_s, u"7"_s, 1, u"先ディレクトリが存在しません"_s, nullptr},
        {in, in, u"txt"_s, u"7"_s, 0,
         u"元ディレクトリと先ディレクトリは別の場所を指定してください"_s, nullptr},
    };
    for (const Case& c : cases) {
        prompts.messages.clear();
        for (QRadioButton* option : f.Option1) {
            option->setAutoExclusive(false);
            option->setChecked(false);
            option->setAutoExclusive(true);
        }
        f.Command2->setFocus();
        edit(c.source, c.destination, c.extension, c.retention, c.process);
        f.Command3_Click();
        EXPECT_EQ(prompts.messages, QStringList{c.message}) << c.message.toStdString();
        if (c.focus != nullptr) {
            EXPECT_TRUE(c.focus->hasFocus()) << c.message.toStdString();
        } else {
            EXPECT_TRUE(f.Command2->hasFocus()) << c.message.toStdString();
        }
    }
    EXPECT_TRUE(rules().isEmpty());

    prompts.messages.clear();
    edit(in, out, u"ｔｘｔ．ｂａｋ"_s, u"7"_s, 0);  // only the five ASCII marks are refused
    f.Command3_Click();
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(rules().size(), 1);
}

TEST_F(RuleEditorTest, AFailureDuringRenumberingIsSaid) {
    addRules(3);
    Form_sweeprun& f = start();
    const QList<QStringList> before = rules();
    {
        Connection connection(tree.values());
        connection.Execute(
            u"CREATE TRIGGER refuse BEFORE UPDATE ON sweeprun "
            u"WHEN NEW.順序 = '003' BEGIN SELECT RAISE(ABORT, 'disk full'); END"_s);
    }
    edit(in, out, u"new"_s, u"7"_s, 0);
    f.Label1->setText(u"001"_s);
    f.Command3_Click();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(u"データベースの処理に失敗しました（disk full"_s))
        << prompts.messages[0].toStdString();
    EXPECT_EQ(rules(), before);
}

TEST_F(RuleEditorTest, AChangeReplacesThePickedRuleInItsPlaceAfterTheUsersYes) {
    addRules(3);
    Form_sweeprun& f = start();
    QTest::mouseClick(f.ChangeButton, Qt::LeftButton);  // nothing picked yet
    EXPECT_EQ(prompts.messages, QStringList{u"変更する規則を一覧から選んでください"_s});

    pick(1);
    retype(f.Text3, u"txt"_s);
    retype(f.Text2, u"10"_s);
    const struct {
        bool answer;
        QStringList messages;
        QStringList after;
    } cases[] = {
        {false, {u"順序 002 を変更しますか?"_s}, {u"001 r1"_s, u"002 r2"_s, u"003 r3"_s}},
        {true, {u"順序 002 を変更しますか?"_s}, {u"001 r1"_s, u"002 txt"_s, u"003 r3"_s}},
    };
    for (const auto& c : cases) {
        prompts.messages.clear();
        prompts.answer = c.answer;
        QTest::mouseClick(f.ChangeButton, Qt::LeftButton);
        EXPECT_EQ(prompts.messages, c.messages);
        EXPECT_EQ(orderAndExtension(), c.after);
        // Either way the editor still shows the rule 002, as typed or as stored.
        EXPECT_EQ(f.Label1->text(), u"002"_s);
        EXPECT_EQ(f.Text3->text(), u"txt"_s);
        EXPECT_EQ(f.DataGrid1->currentIndex().row(), 1);
    }
    EXPECT_EQ(rules()[1], (QStringList{u"002"_s, in, out, u"txt"_s, u"10"_s, kCopyProcess}));

    // Checked as a registration is, and never made a copy of another rule.
    prompts.messages.clear();
    retype(f.Text2, u"x"_s);
    QTest::mouseClick(f.ChangeButton, Qt::LeftButton);
    retype(f.Text2, u"7"_s);
    retype(f.Text3, u"r3"_s);
    QTest::mouseClick(f.ChangeButton, Qt::LeftButton);
    EXPECT_EQ(prompts.messages, (QStringList{u"残存日数は数値で入力してください"_s,
                                             u"同じ内容の規則が順序 003 にあります"_s}));
    EXPECT_EQ(orderAndExtension(), (QStringList{u"001 r1"_s, u"002 txt"_s, u"003 r3"_s}));
}

TEST_F(RuleEditorTest, AfterADeletionTheEditorShowsTheHighlightedRuleOrNothing) {
    addRules(3);
    Form_sweeprun& f = start();
    // At start nothing is picked, and nothing looks picked.
    EXPECT_EQ(f.Label1->text(), QString());
    EXPECT_FALSE(f.DataGrid1->selectionModel()->hasSelection());
    QTest::mouseClick(f.Command4, Qt::LeftButton);
    EXPECT_EQ(prompts.messages, QStringList{u"削除する規則を一覧から選んでください"_s});

    pick(1);
    prompts.messages.clear();
    prompts.answer = false;
    QTest::mouseClick(f.Command4, Qt::LeftButton);
    EXPECT_EQ(prompts.messages, QStringList{u"削除しますか?"_s});
    EXPECT_EQ(rules().size(), 3);

    prompts.answer = true;
    for (const QStringList& after :
         {QStringList{u"001 r1"_s, u"002 r3"_s}, QStringList{u"001 r1"_s}, QStringList()}) {
        QTest::mouseClick(f.Command4, Qt::LeftButton);
        EXPECT_EQ(orderAndExtension(), after);
        const int row = f.DataGrid1->currentIndex().row();
        if (f.DataGrid1->selectionModel()->isRowSelected(row)) {
            EXPECT_EQ(f.Label1->text(), orderNumber(row + 1));
            EXPECT_EQ(f.Text3->text(), after[row].mid(4));
        } else {
            EXPECT_EQ(f.Label1->text(), QString());
            EXPECT_EQ(f.Text3->text(), QString());
        }
        if (f.Label1->text().isEmpty() && !after.isEmpty()) {
            pick(0);
        }
    }
    prompts.messages.clear();
    QTest::mouseClick(f.Command4, Qt::LeftButton);  // an empty editor
    EXPECT_EQ(prompts.messages, QStringList{u"削除する規則を一覧から選んでください"_s});
}

TEST_F(RuleEditorTest, TheRuleHighlightedByKeyboardIsTheRuleEditedAndDeleted) {
    addRules(5);
    Form_sweeprun& f = start();
    QTableView* grid = f.DataGrid1;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(2, 1)).center());
    EXPECT_EQ(f.Label1->text(), u"003"_s);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(f.Label1->text(), u"004"_s);
    EXPECT_EQ(f.Text3->text(), u"r4"_s);
    QTest::keyClick(grid, Qt::Key_Up);
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(f.Text3->text(), u"r2"_s);

    prompts.answer = true;
    QTest::mouseClick(f.Command4, Qt::LeftButton);
    EXPECT_EQ(prompts.messages, QStringList{u"削除しますか?"_s});
    EXPECT_EQ(orderAndExtension(),
              (QStringList{u"001 r1"_s, u"002 r3"_s, u"003 r4"_s, u"004 r5"_s}));
}

TEST_F(RuleEditorTest, TheRuleAsTypedIsCountedOnceTheTypingSettles) {
    tree.file(u"in/a.log"_s, QByteArray(1000, 'a'), at(u"2003/03/01 10:00:00"_s));
    tree.file(u"in/b.log"_s, QByteArray(2000, 'b'), at(u"2003/03/02 10:00:00"_s));
    tree.file(u"in/new.log"_s, "new", at(u"2003/03/29 08:00:00"_s));
    tree.file(u"in/c.txt"_s, "other", at(u"2003/03/01 10:00:00"_s));
    clock.time = at(u"2003/03/29 09:00:00"_s);
    Form_sweeprun& f = start();
    // Blank while typing, "計算中…" while counting, then the count.
    const auto counted = [&] {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.LabelCount->text().isEmpty(); }, 1000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.LabelCount->text() != u"計算中…"_s; }, 1000));
        return f.LabelCount->text();
    };

    QTest::keyClicks(f.Text1, in);
    QTest::keyClicks(f.Text3, u"log"_s);
    EXPECT_TRUE(f.LabelCount->text().isEmpty());  // nothing to count without the days
    QTest::keyClicks(f.Text2, u"7"_s);
    EXPECT_EQ(counted(), u"対象 2 件（3.0 KB）、最古 2003/03/01"_s);

    retype(f.Text2, u"27"_s);
    EXPECT_TRUE(f.LabelCount->text().isEmpty());  // the old count is dropped at once
    EXPECT_EQ(counted(), u"対象 1 件（1.0 KB）、最古 2003/03/01"_s);
    retype(f.Text1, tree.path(u"none"_s));
    EXPECT_EQ(counted(), u"対象: 元ディレクトリがありません"_s);

    retype(f.Text1, in);
    EXPECT_EQ(counted(), u"対象 1 件（1.0 KB）、最古 2003/03/01"_s);
    // A file that comes into the folder is counted without a keystroke.
    tree.file(u"in/d.log"_s, QByteArray(1000, 'd'), at(u"2003/03/01 10:00:00"_s));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return f.LabelCount->text() == u"対象 2 件（2.0 KB）、最古 2003/03/01"_s; }, 1000))
        << f.LabelCount->text().toStdString();

    // The rule registered and run from the preview: the count follows the run.
    f.Option1[2]->setChecked(true);
    QTest::mouseClick(f.Command3, Qt::LeftButton);
    QTest::keyClick(&f, Qt::Key_P, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Preview->RunNowButton->isEnabled(); }, 5000));
    QTest::mouseClick(f.Preview->RunNowButton, Qt::LeftButton);
    waitForRun();
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.LabelCount->text() == u"対象 0 件"_s; }, 1000));

    // An extension typed with its dot is hinted at, not counted as nothing.
    retype(f.Text3, u".log"_s);
    EXPECT_EQ(counted(), u"対象: 拡張子は「.」を付けずに入力してください（例: log）"_s);
    retype(f.Text3, u"log"_s);
    counted();

    // A folder that goes while it is counted: what went is not counted, nothing breaks.
    fs.beforeCheck = [&](const char*) { QDir(in).removeRecursively(); };
    retype(f.Text2, u"7"_s);
    EXPECT_EQ(counted(), u"対象 0 件"_s);
}

TEST_F(RuleEditorTest, PickingARuleCopiesItIntoTheEditor) {
    tree.addRule({u"001"_s, u" /a "_s, u" /b "_s, u" txt "_s, u" 7 "_s, u"移動"_s});
    tree.addRule({u"002"_s, u"/c"_s, u""_s, u"log"_s, u"0"_s, u"移 動"_s});
    Form_sweeprun& f = start();
    f.Option1[2]->setChecked(true);

    f.DataGrid1->setCurrentIndex(f.DataGrid1->model()->index(1, 2));
    f.DataGrid1_SelChange();
    EXPECT_EQ(f.Label1->text(), u"002"_s);
    EXPECT_EQ(f.Text1->text(), u"/c"_s);
    EXPECT_TRUE(f.Option1[2]->isChecked());  // an unknown process leaves the options alone

    f.DataGrid1->setCurrentIndex(f.DataGrid1->model()->index(0, 0));
    f.DataGrid1_SelChange();
    EXPECT_EQ(f.Label1->text(), u"001"_s);
    EXPECT_EQ(f.Text1->text(), u"/a"_s);
    EXPECT_EQ(f.Text5->text(), u"/b"_s);
    EXPECT_EQ(f.Text3->text(), u"txt"_s);
    EXPECT_EQ(f.Text2->text(), u"7"_s);
    EXPECT_TRUE(f.Option1[1]->isChecked());

    f.DataGrid1->setCurrentIndex({});
    f.Text1->setText(u"typed"_s);
    f.DataGrid1_SelChange();  // no current row: no change
    EXPECT_EQ(f.Text1->text(), u"typed"_s);
}

TEST_F(RuleEditorTest, ChoosingADirectoryTakesAFolderOrAFilesFolderAndOpensWhereTheBoxPoints) {
    Form_sweeprun& f = start();
    const QString file = tree.file(u"in/report.txt"_s, "", at(u"2003/01/01 00:00:00"_s));
    const QString empty = tree.dir(u"empty"_s);
    const QString before = QDir::currentPath();

    prompts.chosenPath = file;
    QTest::mouseClick(f.Command1, Qt::LeftButton);
    EXPECT_EQ(f.Text1->text(), in);
    EXPECT_EQ(QDir::currentPath(), in);

    prompts.chosenPath = empty;  // a folder, confirmed from inside it
    QTest::mouseClick(f.Command5, Qt::LeftButton);
    EXPECT_EQ(prompts.startedIn, in);
    EXPECT_EQ(f.Text5->text(), empty);

    prompts.chosenPath.clear();  // cancelled: the box gets the working directory all the same
    f.Text5->setText(u"/elsewhere"_s);
    QTest::mouseClick(f.Command5, Qt::LeftButton);
    EXPECT_EQ(prompts.startedIn, empty);
    EXPECT_EQ(f.Text5->text(), empty);
    EXPECT_EQ(f.Text1->text(), in);

    // A box that names a folder opens the dialog there.
    QTest::mouseClick(f.Command1, Qt::LeftButton);
    EXPECT_EQ(prompts.startedIn, in);
    QDir::setCurrent(before);
}
