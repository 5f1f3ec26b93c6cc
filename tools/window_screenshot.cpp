// Draws the window in run mode with a few example rules and log rows, and saves it as a PNG.
// Usage: window_screenshot OUT.png   (run with QT_QPA_PLATFORM=offscreen)
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "disk/file_system.h"
#include "storage/connection.h"
#include "storage/schema.h"
#include "storage/sql_text.h"
#include "ui/form_sweeprun.h"
#include "ui/prompts.h"

using namespace Qt::StringLiterals;

namespace {

class SilentPrompts : public Prompts {
public:
    void message(const QString&) override {}
    void notify(const QString&, const QRect&) override {}
    bool confirm(const QString&, QWidget*) override { return false; }
    QString choosePath(const QString&) override { return {}; }
    QString chooseSaveFile(const QString&) override { return {}; }
};

void fill(const ModuleValues& values) {
    Connection connection(values);
    connection.Execute(
        SqlText::insertValues(values.tbl_set, {u"月水金"_s, u"07"_s, u"30"_s, u"30"_s}));
    const QList<QStringList> rules = {
        {u"001"_s, u"/var/log/app"_s, u""_s, u"log"_s, u"14"_s, u"削除"_s},
        {u"002"_s, u"/srv/export"_s, u"/mnt/archive/export"_s, u"csv"_s, u"7"_s, u"移動"_s},
        {u"003"_s, u"/home/share/報告書"_s, u"/mnt/backup/報告書"_s, u"xlsx"_s, u"1"_s, u"複写"_s},
    };
    for (const QStringList& rule : rules) {
        connection.Execute(SqlText::insertValues(values.tbl_rule, rule));
    }
    const QList<QStringList> log = {
        {u"/var/log/app/app-20261120.log"_s, u"2026/11/20 23:59:58"_s, u"削除"_s,
         u"2026/12/04 07:30:00"_s},
        {u"/srv/export/orders-1126.csv"_s, u"2026/11/26 18:02:11"_s, u"移動"_s,
         u"2026/12/04 07:30:00"_s},
        {u"/home/share/報告書/月報11月.xlsx"_s, u"2026/12/02 17:45:03"_s, u"複写"_s,
         u"2026/12/04 07:30:00"_s},
    };
    for (const QStringList& row : log) {
        connection.Execute(SqlText::insertValues(values.tbl_log, row));
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    QTemporaryDir dir;
    const ModuleValues values = ModuleValues::forDirectory(dir.path());
    ensureSchema(values);
    fill(values);
    SilentPrompts prompts;
    SystemClock clock;
    PosixFileSystem fs;
    Form_sweeprun form(values, prompts, clock, fs);
    form.Form_Load();
    form.show();
    QApplication::processEvents();
    return form.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
