// The preview of the next run on the database given, in its own window drawn offscreen: prints
// "<seconds until the plan shows> <longest wait for events in ms> <repaints per second>", a
// probe asking for a repaint every 50 ms meanwhile. With --list, only the listing of the first
// rule's folder, as a run lists it: prints its seconds.
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <cstdio>

#include "disk/file_system.h"
#include "repaint_probe.h"
#include "schedule/schedule_store.h"
#include "storage/connection.h"
#include "storage/module_values.h"
#include "ui/preview_window.h"

using namespace Qt::StringLiterals;

namespace {

int listOnly(const ModuleValues& values, FileSystem& fs) {
    QList<Rule> rules;
    {
        Connection connection(values);
        rules = readRules(connection, values.tbl_rule);
    }
    QElapsedTimer timer;
    timer.start();
    const OpenedDirectory source = fs.openDirectory(QFile::encodeName(rules.first().source), false);
    const auto listing = fs.listDirectory(source.fd.get(), rules.first().extension, {}, {});
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
    SetClock clock("2026/12/07 08:00:00");
    PreviewWindow preview(values, fs, clock, nullptr);
    preview.show();
    QApplication::processEvents();

    RepaintProbe probe(preview);
    QEventLoop loop;
    preview.plan(*readStoredSchedule(values));
    QObject::connect(&preview.model(), &QAbstractItemModel::modelReset, &loop, &QEventLoop::quit);
    loop.exec();
    probe.print();
    return preview.model().rowCount() == 1 ? 0 : 1;
}
