#include "ui/prompts.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace Qt::StringLiterals;

TEST(Prompts, MessageBoxesAreTitledQuillonWithoutIconAndInJapanese) {
    ASSERT_TRUE(installJapaneseTranslation());
    MessageBoxPrompts prompts;
    QString title;
    QString text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::Critical;
    const auto inspectThen = [&](QMessageBox::StandardButton press) {
        QTimer::singleShot(0, [&, press] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons.clear();
            for (QAbstractButton* button : box->buttons()) {
                buttons << button->text();
            }
            box->button(press)->click();
        });
    };

    inspectThen(QMessageBox::Ok);
    prompts.message(u"実行時は数値で入力してください"_s);
    EXPECT_EQ(title, u"Quillon"_s);
    EXPECT_EQ(text, u"実行時は数値で入力してください"_s);
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons.size(), 1);

    inspectThen(QMessageBox::Cancel);
    EXPECT_FALSE(prompts.confirm(u"削除しますか?"_s));
    EXPECT_TRUE(buttons.contains(u"キャンセル"_s)) << buttons.join(u',').toStdString();
    inspectThen(QMessageBox::Ok);
    EXPECT_TRUE(prompts.confirm(u"削除しますか?"_s));
}

TEST(Prompts, ANoticeWaitsForNobodyAndALaterOneReplacesIt) {
    QWidget window;
    window.show();
    MessageBoxPrompts prompts(&window);
    const QRect area(200, 150, 600, 400);
    prompts.notify(u"first"_s, area);
    prompts.notify(u"second"_s, area);  // returns at once: no event loop was needed to answer

    const QList<QMessageBox*> boxes = window.findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->text(), u"second"_s);
    EXPECT_EQ(boxes[0]->windowTitle(), u"Quillon"_s);
    EXPECT_TRUE(boxes[0]->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(area.contains(boxes[0]->frameGeometry()));  // at its lower right
    EXPECT_LE(area.right() - boxes[0]->frameGeometry().right(), 1);
    EXPECT_LE(area.bottom() - boxes[0]->frameGeometry().bottom(), 1);

    boxes[0]->button(QMessageBox::Ok)->click();
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.findChildren<QMessageBox*>().isEmpty());
    prompts.notify(u"third"_s, area);  // a new one once the old is closed
    ASSERT_EQ(window.findChildren<QMessageBox*>().size(), 1);
    EXPECT_EQ(window.findChildren<QMessageBox*>()[0]->text(), u"third"_s);

    // A message that waits for the user replaces the notice: one at a time.
    const QPointer<QMessageBox> notice = window.findChildren<QMessageBox*>()[0];
    bool noticeOpenMeanwhile = true;
    QTimer::singleShot(0, [&] {
        noticeOpenMeanwhile = notice != nullptr && notice->isVisible();
        qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->accept();
    });
    prompts.message(u"順序　001　の　/gone が存在しません。正しく設定を行なってください"_s);
    EXPECT_FALSE(noticeOpenMeanwhile);
}

TEST(Prompts, TheFileDialogOpensWhereAskedAndConfirmsAFileOrTheFolderItShows) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"empty"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile file(dir.filePath(u"a.txt"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    MessageBoxPrompts prompts;
    // Clicks the dialog's Open button, as a person would.
    const auto open = [](QFileDialog* dialog) {
        QPushButton* button =
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
        ASSERT_NE(button, nullptr);
        // The dialog reads its folder in the background: the button waits for it.
        ASSERT_TRUE(QTest::qWaitFor([button] { return button->isEnabled(); }, 1000));
        QTest::mouseClick(button, Qt::LeftButton);
    };
    const auto answer = [](const std::function<void(QFileDialog*)>& act) {
        QTimer::singleShot(
            0, [act] { act(qobject_cast<QFileDialog*>(QApplication::activeModalWidget())); });
    };

    QString openedIn;
    answer([&](QFileDialog* dialog) {
        openedIn = dialog->directory().absolutePath();
        dialog->selectFile(u"a.txt"_s);
        open(dialog);
    });
    EXPECT_EQ(prompts.choosePath(dir.path()), dir.filePath(u"a.txt"_s));
    EXPECT_EQ(openedIn, dir.path());

    answer([&](QFileDialog* dialog) {
        dialog->setDirectory(folder);  // gone into the empty folder, nothing to pick there
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"chooseFolder"_s), Qt::LeftButton);
    });
    EXPECT_EQ(prompts.choosePath(dir.path()), folder);

    answer([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(prompts.choosePath(dir.path()), QString());
}
