// The window on the screens people have: each drawn in a process of its own, since the screen
// is fixed when the application starts.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QProcess>
#include <QScreen>
#include <QTemporaryFile>
#include <QTest>

#include "schedule/schedule_store.h"
#include "support/window_test.h"
#include "ui/preview_window.h"

using namespace Qt::StringLiterals;

namespace {

struct Screen {
    int width;  // in the screen's own pixels
    int height;
    double scale;
};

constexpr const char* kScreenVariable = "QUILLON_TEST_SCREEN";

// Runs this test again in a child whose offscreen screen is `screen`; true when it passed.
bool passesOn(const Screen& screen) {
    QTemporaryFile config;
    EXPECT_TRUE(config.open());
    config.write(QStringLiteral(R"({"screens":[{"name":"test","x":0,"y":0,"width":%1,"height":%2,)"
                                R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":%3}]})")
                     .arg(qRound(screen.width / screen.scale))
                     .arg(qRound(screen.height / screen.scale))
                     .arg(screen.scale)
                     .toUtf8());
    config.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen:configfile="_s + config.fileName());
    environment.insert(QString::fromLatin1(kScreenVariable),
                       u"%1x%2@%3"_s.arg(screen.width).arg(screen.height).arg(screen.scale));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {u"--gtest_filter="_s +
                 QString::fromUtf8(testing::UnitTest::GetInstance()->current_test_info()->name())
                     .prepend(u"ScreenSizeTest."_s)});
    EXPECT_TRUE(child.waitForFinished(60'000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}

using ScreenSizeTest = WindowTest;

}  // namespace

TEST_F(ScreenSizeTest, FourRulesShowAndThePreviewStandsBesideWhereThereIsRoom) {
    if (!qEnvironmentVariableIsSet(kScreenVariable)) {
        for (const Screen& screen : {Screen{1366, 768, 1.5}, Screen{1920, 1080, 1},
                                     Screen{1024, 768, 1}, Screen{1920, 1080, 2}}) {
            SCOPED_TRACE(screen.width);
            EXPECT_TRUE(passesOn(screen));
        }
        return;
    }
    const QString name = qEnvironmentVariable(kScreenVariable);
    SCOPED_TRACE(name.toStdString());
    for (int i = 1; i <= 6; ++i) {
        tree.addRule(
            {u"00%1"_s.arg(i), tree.path(), u""_s, u"r%1"_s.arg(i), u"7"_s, kDeleteProcess});
    }
    writeSchedule(tree.values(), kMonday9h05);
    Form_sweeprun& f = start();
    const QScreen* screen = f.screen();
    EXPECT_NEAR(screen->geometry().width() * screen->devicePixelRatio(),
                name.section(u'x', 0, 0).toInt(), 1);

    // The rule list shows its header and four rules whole.
    QTableView* rules = f.DataGrid1;
    EXPECT_LE(rules->visualRect(rules->model()->index(3, 0)).bottom(), rules->viewport()->height());
    EXPECT_LE(f.frameGeometry().bottom(), screen->availableGeometry().bottom());

    // The preview beside the main window where it has room, else over it and readable; its
    // 対象 column takes what the others leave.
    QTest::mouseClick(f.PreviewButton, Qt::LeftButton);
    PreviewWindow& preview = *f.Preview;
    const int room = screen->availableGeometry().right() - f.frameGeometry().right();
    const int least = preview.fontMetrics().averageCharWidth() * 60;
    EXPECT_EQ(preview.frameGeometry().intersects(f.frameGeometry()), room < least);
    EXPECT_GE(preview.width(), std::min(least, screen->availableGeometry().width()));
    EXPECT_LE(preview.frameGeometry().right(), screen->availableGeometry().right());
    QHeaderView* header = preview.List->header();
    int others = 0;
    for (int column = 1; column < header->count(); ++column) {
        others += header->sectionSize(column);
    }
    EXPECT_EQ(header->sectionSize(0) + others, header->viewport()->width());
}
