// Times sweeprun-batch against the floor (what the kernel needs for the same files, no log),
// find, mv, cp, tmpreaper and systemd-tmpfiles on identical trees of old files, in RAM and on
// disk, rotating which goes first; then peak memory at 100 000 and 1 000 000 files, and a run
// started by the window's timer; then the preview of the next run against the dry run and the
// listing. Prints medians, ratios and whether each target is met.
#include <unistd.h>

#include <QCoreApplication>
#include <QSysInfo>
#include <cstdio>

#include "harness.h"
#include "scenarios.h"

using namespace Qt::StringLiterals;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure shows as soon as it is measured
    Bench bench;
    // "speed", "preview", "young", "window", "trash" or "undo": only those figures
    QString only;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        const QString& value = args[i + 1];
        if (args[i] == u"--files"_s) {
            bench.files = value.toInt();
        } else if (args[i] == u"--big"_s) {
            bench.bigFiles = value.toInt();
        } else if (args[i] == u"--rounds"_s) {
            bench.rounds = value.toInt();
        } else if (args[i] == u"--ram-rounds"_s) {
            bench.ramRounds = value.toInt();
        } else if (args[i] == u"--million"_s) {
            bench.millionFiles = value.toInt();
        } else if (args[i] == u"--ram"_s) {
            bench.ram = value;
        } else if (args[i] == u"--disk"_s) {
            bench.disk = value;
        } else if (args[i] == u"--only"_s) {
            only = value;
        }
    }
    std::printf("bench: %d rounds; %d cores; %s\n", bench.rounds,
                static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN)),
                qPrintable(QSysInfo::prettyProductName()));
    if (only == u"speed"_s) {
        bench.speed();
        return 0;
    }
    if (only == u"young"_s) {
        bench.youngFiles(200'000);
        return 0;
    }
    if (only == u"trash"_s) {
        bench.trashDelete();
        return 0;
    }
    if (only == u"undo"_s) {
        bench.undoMove();
        return 0;
    }
    if (only == u"window"_s) {
        bench.windowAndMemory(bench.files, true);
        return 0;
    }
    if (only == u"preview"_s) {
        bench.preview(bench.files, bench.rounds);
        if (bench.millionFiles > 0) {
            bench.preview(bench.millionFiles, 1);
        }
        return 0;
    }
    bench.renumbering();
    bench.speed();
    std::printf("peak memory of sweeprun-batch over these runs: %.1f MiB (target <= 64 MiB) %s\n",
                bench.peakKiB / 1024.0, verdict(bench.peakKiB <= 64 * 1024));
    bench.windowAndMemory(bench.files, true);
    bench.youngFiles(200'000);
    bench.trashDelete();
    bench.undoMove();
    bench.preview(bench.files, bench.rounds);
    if (bench.millionFiles > 0) {
        bench.windowAndMemory(bench.millionFiles, false);
        bench.preview(bench.millionFiles, 1);
    }
    return 0;
}
