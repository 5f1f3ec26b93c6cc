// The preview of the next run on the database given, in its own window drawn offscreen: prints
// "<seconds until the plan shows> <longest wait for events in ms> <repaints per second>", a
// probe asking for a repaint every 50 ms meanwhile. With --list, only the listing of the first
// rule's folder, as a run lists it: prints its seconds.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "disk/file_system.h"
#include "schedule/schedule_store.h"
#include "storage/connection.h"
#include "storage/module_values.h"
#include "ui/preview_window.h"

using namespace Qt::StringLiterals;

namespace {

class MorningClock : public Clock {
public:
    QDateTime now() const override {
        return QDateTime::fromString(u"2026/12/07 08:00:00"_s, u"yyyy/MM/dd HH:mm:ss"_s);
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

int listOnly(const ModuleValues& values, FileSystem& fs) {
    QList<Rule> rules;
    {
        Connection connection(values);
        rules = readRules(connection, values.tbl_rule);
    }
    QElapsedTimer timer;
    timer.start();
    const OpenedDirectory source = fs.openDirectory(QFile::encodeName(rules.first().source), false);
    const auto listing = fs.listDirectory(source.fd.get(), rules.first().extension, {});
    std::printf("%.3f\n", timer.nsecsElapsed() / 1e9);
    return listing->error == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_preview DATABASE [--list]\n");
        return 2;
    }
    const ModuleValues values = ModuleValues::forDatabase(QString::fromLocal8Bit(argv[1]));
    PosixFileSystem fs;
    if (argc > 2 && QByteArray(argv[2]) == "--list") {
        return listOnly(values, fs);
    }
    MorningClock clock;
    PreviewWindow preview(values, fs, clock, nullptr);
    preview.show();
    QApplication::processEvents();

    PaintCounter counter;
    preview.installEventFilter(&counter);
    QElapsedTimer timer;
    std::vector<qint64> handled;  // when the probe's events were handled
    QTimer probe;
    probe.setInterval(50);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        handled.push_back(timer.nsecsElapsed());
        preview.update();
    });
    QEventLoop loop;
    timer.start();
    probe.start();
    preview.plan(*readStoredSchedule(values));
    QObject::connect(&preview.model(), &QAbstractItemModel::modelReset, &loop, &QEventLoop::quit);
    loop.exec();
    const qint64 total = timer.nsecsElapsed();
    handled.push_back(total);
    qint64 longest = handled.front();
    for (size_t i = 1; i < handled.size(); ++i) {
        longest = std::max(longest, handled[i] - handled[i - 1]);
    }
    std::printf("%.3f %.0f %.1f\n", total / 1e9, longest / 1e6, counter.paints / (total / 1e9));
    return preview.model().rowCount() == 1 ? 0 : 1;
}
