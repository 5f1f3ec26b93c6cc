// One maintenance run started by the window's timer, on the database given, with the window
// drawn offscreen. Prints "<seconds of the run> <longest wait for events in ms> <repaints per
// second>": a probe asks for a repaint every 50 ms while the run works, as a screen that
// shows something changing would.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "disk/file_system.h"
#include "storage/module_values.h"
#include "ui/form_sweeprun.h"
#include "ui/prompts.h"

using namespace Qt::StringLiterals;

namespace {

class SilentPrompts : public Prompts {
public:
    void message(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void notify(const QString& text, const QRect&) override { message(text); }
    bool confirm(const QString&) override { return false; }
    QString choosePath(const QString&) override { return {}; }
    QString chooseSaveFile(const QString&) override { return {}; }
};

// The scheduled minute of the schedule bench_run stores: every weekday at 09:05.
class ScheduledClock : public Clock {
public:
    QDateTime now() const override {
        return QDateTime::fromString(u"2026/12/07 09:05:30"_s, u"yyyy/MM/dd HH:mm:ss"_s);
    }
};

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
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
    ScheduledClock clock;
    PosixFileSystem fs;
    Form_sweeprun form(ModuleValues::forDatabase(QString::fromLocal8Bit(argv[1])), prompts, clock,
                       fs);
    form.Form_Load();
    QApplication::processEvents();

    PaintCounter counter;
    form.installEventFilter(&counter);
    QElapsedTimer clockRun;
    std::vector<qint64> handled;  // when the probe's events were handled
    QTimer probe;
    probe.setInterval(50);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        handled.push_back(clockRun.nsecsElapsed());
        form.update();
    });
    probe.start();
    clockRun.start();
    form.Timer1_Timer();
    const qint64 total = clockRun.nsecsElapsed();
    handled.push_back(total);
    qint64 longest = handled.front();
    for (size_t i = 1; i < handled.size(); ++i) {
        longest = std::max(longest, handled[i] - handled[i - 1]);
    }
    std::printf("%.3f %.0f %.1f\n", total / 1e9, longest / 1e6, counter.paints / (total / 1e9));
    return 0;
}
