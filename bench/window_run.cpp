// One maintenance run started by the window's timer, on the database given, with the window
// drawn offscreen, waited for as the window waits for it. Prints "<seconds of the run> <longest
// wait for events in ms> <repaints per second>": a probe asks for a repaint every 50 ms while the
// run works, as a screen that shows something changing would.
#include <QApplication>
#include <cstdio>

#include "disk/file_system.h"
#include "repaint_probe.h"
#include "storage/module_values.h"
#include "ui/form_sweeprun.h"
#include "ui/prompts.h"

using namespace Qt::StringLiterals;

namespace {

class SilentPrompts : public Prompts {
public:
    void message(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void notify(const QString& text, const QRect&) override { message(text); }
    bool confirm(const QString&, QWidget*) override { return false; }
    QString choosePath(const QString&) override { return {}; }
    QString chooseSaveFile(const QString&) override { return {}; }
};

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_window DATABASE\n");
        return 2;
    }
    SilentPrompts prompts;
    SetClock clock("2026/12/07 09:05:30");  // the minute of the schedule bench_run stores
    PosixFileSystem fs;
    Form_sweeprun form(ModuleValues::forDatabase(QString::fromLocal8Bit(argv[1])), prompts, clock,
                       fs);
    form.Form_Load();
    QApplication::processEvents();

    RepaintProbe probe(form);
    form.Timer1_Timer();
    while (form.running()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    probe.print();
    return 0;
}
