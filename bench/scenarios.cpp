#include "scenarios.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "fixtures.h"
#include "harness.h"
#include "rules/rule_table.h"
#include "storage/connection.h"
#include "storage/schema.h"
#include "storage/settings.h"
#include "storage/sql_text.h"

using namespace Qt::StringLiterals;

// Medians per tool of one operation on one medium, tools rotated round by round.
std::map<QString, double> Bench::compare(const QString& where, const QString& op,
                                         const QStringList& tools) {
    const bool big = op == u"copy"_s;
    const char* extension = big ? "dat" : "log";
    std::map<QString, std::vector<double>> times;
    const int repeats = where == ram ? ramRounds : rounds;
    for (int round = 0; round < repeats; ++round) {
        for (qsizetype turn = 0; turn < tools.size(); ++turn) {
            const QString& tool = tools[(turn + round) % tools.size()];
            QTemporaryDir root(where + u"/quillon-bench-XXXXXX"_s);
            makeTree(root.path() + u"/src"_s, big ? bigFiles : files, big ? (1 << 20) : 16,
                     extension);
            QDir().mkpath(root.path() + u"/dst"_s);
            const QStringList command = toolCommand(tool, op, root.path(), extension);
            if (command.isEmpty()) {
                continue;
            }
            const Timing timing = timeCommand(command);
            times[tool].push_back(timing.seconds);
            if (tool == u"quillon"_s) {
                peakKiB = std::max(peakKiB, timing.peakKiB);
            }
        }
    }
    std::map<QString, double> medians;
    std::printf("  %-6s", qPrintable(op));
    for (const QString& tool : tools) {
        if (times.count(tool) == 0) {
            std::printf("  %s: not installed", qPrintable(tool));
            continue;
        }
        medians[tool] = median(times[tool]);
        std::printf("  %s %.3f s", qPrintable(tool), medians[tool]);
    }
    std::printf("\n");
    return medians;
}

void Bench::speed() {
    const QStringList deleters = {u"floor"_s, u"safe"_s,      u"quillon"_s,
                                  u"find"_s,  u"tmpreaper"_s, u"tmpfiles"_s};
    const QStringList movers = {u"floor"_s, u"safe"_s, u"checked"_s, u"quillon"_s, u"find"_s};
    std::printf(
        "RAM (%s), %d files (floor: one stat, no order; safe: sorted and re-checked; checked: "
        "safe, and a look at what each rename landed):\n",
        qPrintable(ram), files);
    auto del = compare(ram, u"delete"_s, deleters);
    auto mov = compare(ram, u"move"_s, movers);
    printRatio("delete, quillon / safe floor", del[u"quillon"_s], del[u"safe"_s], 1.15);
    printRatio("move, quillon / safe floor", mov[u"quillon"_s], mov[u"safe"_s], 1.15);
    printRatio("move, quillon / checked floor", mov[u"quillon"_s], mov[u"checked"_s], 1.15);
    if (disk == u"none"_s) {
        return;
    }
    std::printf("disk (%s), %d files, %d files of 1 MiB to copy:\n", qPrintable(disk), files,
                bigFiles);
    del = compare(disk, u"delete"_s, deleters);
    mov = compare(disk, u"move"_s, movers);
    auto copy = compare(disk, u"copy"_s, {u"quillon"_s, u"start"_s, u"find"_s});
    printRatio("delete, quillon / find -delete", del[u"quillon"_s], del[u"find"_s], 1.05);
    printRatio("move, quillon / find -exec mv", mov[u"quillon"_s], mov[u"find"_s], 1.05);
    printRatio("copy, quillon / find -exec cp -p", copy[u"quillon"_s], copy[u"find"_s], 1.05);
    // What the files cost beyond the batch's start (an empty run over the same tree), for
    // comparison only: the target is the whole run.
    std::printf("  copy beyond the start of %.3f s, quillon / cp -p   %.2f\n", copy[u"start"_s],
                (copy[u"quillon"_s] - copy[u"start"_s]) / copy[u"find"_s]);
}

// The window's run against the batch's on identical trees in RAM, and both programs' peak
// memory with `count` files in one directory.
void Bench::windowAndMemory(int count, bool timeIt) {
    std::vector<double> batchTimes;
    std::vector<double> windowTimes;
    double longestGapMs = 0;
    double slowestRepaints = 1e9;
    long batchPeak = 0;
    long windowPeak = 0;
    for (int round = 0; round < (timeIt ? ramRounds : 1); ++round) {
        for (const bool window : {round % 2 == 0, round % 2 != 0}) {
            QTemporaryDir root(ram + u"/quillon-bench-XXXXXX"_s);
            makeTree(root.path() + u"/src"_s, count, 16, "log");
            QDir().mkpath(root.path() + u"/dst"_s);
            const QString db = makeDatabase(root.path(), u"移動"_s, "log");
            if (window) {
                const Timing timing = timeCommand({QStringLiteral(BENCH_WINDOW), db}, true);
                const ProbeFigures figures = probeFigures(timing.output);
                windowTimes.push_back(figures.seconds);
                longestGapMs = std::max(longestGapMs, figures.longestGapMs);
                slowestRepaints = std::min(slowestRepaints, figures.repaintsPerSecond);
                windowPeak = std::max(windowPeak, timing.peakKiB);
            } else {
                const Timing timing = timeCommand({QStringLiteral(SWEEPRUN_BATCH), u"--db"_s, db});
                batchTimes.push_back(timing.seconds);
                batchPeak = std::max(batchPeak, timing.peakKiB);
            }
        }
    }
    const double target = count > 200'000 ? 128 : 64;
    std::printf("%d files moved in one directory (RAM):\n", count);
    std::printf("  peak memory: sweeprun-batch %.1f MiB, window %.1f MiB (target <= %.0f MiB) %s\n",
                batchPeak / 1024.0, windowPeak / 1024.0, target,
                verdict(std::max(batchPeak, windowPeak) <= target * 1024));
    if (timeIt) {
        std::printf("  window's timer run %.3f s, sweeprun-batch %.3f s\n", median(windowTimes),
                    median(batchTimes));
        printRatio("window / sweeprun-batch", median(windowTimes), median(batchTimes), 1.1);
        std::printf(
            "  window: longest wait for events %.0f ms, %.1f repaints a second "
            "(target >= 10) %s\n",
            longestGapMs, slowestRepaints, verdict(slowestRepaints >= 10));
    }
}

void Bench::trashDelete() {
    // Quillon plain and into the trash, then the safe floor of each: what the kernel alone
    // needs for the same files.
    std::vector<double> times[4];
    for (int round = 0; round < ramRounds; ++round) {
        for (int turn = 0; turn < 4; ++turn) {
            const int what = (turn + round) % 4;
            const bool trash = what % 2 != 0;
            QTemporaryDir root(ram + u"/quillon-bench-XXXXXX"_s);
            makeTree(root.path() + u"/src"_s, files, 16, "log");
            if (what >= 2) {
                const QString bin = root.path() + u"/trash"_s;
                QDir().mkpath(bin + u"/files"_s);
                QDir().mkpath(bin + u"/info"_s);
                QStringList command = {QStringLiteral(BENCH_FLOOR),
                                       trash ? u"--trash"_s : u"--safe"_s, u"delete"_s,
                                       root.path() + u"/src"_s, u"log"_s};
                if (trash) {
                    command << bin;
                }
                times[what].push_back(timeCommand(command).seconds);
                continue;
            }
            const QString db = makeDatabase(root.path(), u"削除"_s, "log");
            {
                Connection connection(ModuleValues::forDatabase(db));
                Settings::write(connection, Settings::kTrashDays, trash ? u"7"_s : u"0"_s);
            }
            // The trash of the RAM file system, inside the tree, so it goes with it.
            const QByteArray home = QFile::encodeName(root.path()) + "/home";
            QDir().mkpath(QFile::decodeName(home));
            qputenv("XDG_DATA_HOME", home);
            times[what].push_back(
                timeCommand({QStringLiteral(SWEEPRUN_BATCH), u"--db"_s, db}).seconds);
        }
    }
    qunsetenv("XDG_DATA_HOME");
    std::printf("delete of %d files (RAM): plain %.3f s, into the trash %.3f s\n", files,
                median(times[0]), median(times[1]));
    printRatio("trash / plain delete", median(times[1]), median(times[0]), 1.5);
    std::printf("  safe floors: plain %.3f s, into the trash %.3f s, %.2f\n", median(times[2]),
                median(times[3]), median(times[3]) / median(times[2]));
}

// A move run of `files` files in RAM, and the undo of that run (sweeprun-batch --undo).
void Bench::undoMove() {
    std::vector<double> runs;
    std::vector<double> undos;
    for (int round = 0; round < ramRounds; ++round) {
        QTemporaryDir root(ram + u"/quillon-bench-XXXXXX"_s);
        makeTree(root.path() + u"/src"_s, files, 16, "log");
        QDir().mkpath(root.path() + u"/dst"_s);
        const QString db = makeDatabase(root.path(), u"移動"_s, "log");
        runs.push_back(timeCommand({QStringLiteral(SWEEPRUN_BATCH), u"--db"_s, db}).seconds);
        undos.push_back(
            timeCommand({QStringLiteral(SWEEPRUN_BATCH), u"--db"_s, db, u"--undo"_s, u"1"_s})
                .seconds);
        if (!QDir(root.path() + u"/dst"_s).isEmpty()) {
            std::printf("  the undo left files in the destination\n");
        }
    }
    std::printf("move of %d files (RAM): run %.3f s, its undo %.3f s\n", files, median(runs),
                median(undos));
    printRatio("undo / run", median(undos), median(runs), 1.5);
}

// Peak memory of a run over a folder of `count` young files with long names, which it
// leaves alone, against a run over an empty folder: what other people's files cost it.
void Bench::youngFiles(int count) {
    long peaks[2] = {0, 0};
    for (const int files : {0, count}) {
        QTemporaryDir root(ram + u"/quillon-bench-XXXXXX"_s);
        makeYoungTree(root.path() + u"/src"_s, files);
        QDir().mkpath(root.path() + u"/dst"_s);
        const QString db = makeDatabase(root.path(), u"移動"_s, "log");
        peaks[files > 0] = timeCommand({QStringLiteral(SWEEPRUN_BATCH), u"--db"_s, db}).peakKiB;
    }
    const double above = (peaks[1] - peaks[0]) / 1024.0;
    std::printf("%d young files with 250-byte names, left alone (RAM):\n", count);
    std::printf("  peak memory %.1f MiB, %.1f MiB above an empty folder (target <= 16 MiB) %s\n",
                peaks[1] / 1024.0, above, verdict(above <= 16));
}

// The preview of the next run against sweeprun-batch --dry-run and against the listing
// alone, with `count` old files to move in one directory (RAM), and the preview window's
// repaints while it works. Nothing changes the tree, so the three take turns on one.
void Bench::preview(int count, int repeats) {
    QTemporaryDir root(ram + u"/quillon-bench-XXXXXX"_s);
    makeTree(root.path() + u"/src"_s, count, 16, "log");
    QDir().mkpath(root.path() + u"/dst"_s);
    const QString db = makeDatabase(root.path(), u"移動"_s, "log");
    std::map<int, std::vector<double>> times;  // 0 listing, 1 preview, 2 dry run
    double longestGapMs = 0;
    double slowestRepaints = 1e9;
    long previewPeak = 0;
    for (int round = 0; round < repeats; ++round) {
        for (int turn = 0; turn < 3; ++turn) {
            const int what = (turn + round) % 3;
            if (what == 0) {
                const Timing timing =
                    timeCommand({QStringLiteral(BENCH_PREVIEW), db, u"--list"_s}, true);
                times[0].push_back(std::atof(timing.output.constData()));
            } else if (what == 1) {
                const Timing timing = timeCommand({QStringLiteral(BENCH_PREVIEW), db}, true);
                const ProbeFigures figures = probeFigures(timing.output);
                times[1].push_back(figures.seconds);
                longestGapMs = std::max(longestGapMs, figures.longestGapMs);
                slowestRepaints = std::min(slowestRepaints, figures.repaintsPerSecond);
                previewPeak = std::max(previewPeak, timing.peakKiB);
            } else {
                times[2].push_back(
                    timeCommand({QStringLiteral(SWEEPRUN_BATCH), u"--db"_s, db, u"--dry-run"_s})
                        .seconds);
            }
        }
    }
    std::printf("preview of %d files to move in one directory (RAM):\n", count);
    std::printf("  listing %.3f s, preview %.3f s, sweeprun-batch --dry-run %.3f s\n",
                median(times[0]), median(times[1]), median(times[2]));
    // "About twice": within a tenth of it.
    printRatio("preview / listing (about 2)", median(times[1]), median(times[0]), 2.2);
    std::printf(
        "  preview: longest wait for events %.0f ms, %.1f repaints a second "
        "(target >= 10) %s; peak memory %.1f MiB\n",
        longestGapMs, slowestRepaints, verdict(slowestRepaints >= 10), previewPeak / 1024.0);
}

// Registering a rule at the top of a full table of 999 rules, and deleting it again: each
// renumbers every rule.
void Bench::renumbering() {
    QTemporaryDir root(ram + u"/quillon-bench-XXXXXX"_s);
    const ModuleValues values = ModuleValues::forDirectory(root.path());
    ensureSchema(values);
    {
        Connection connection(values);
        Transaction transaction(connection);
        for (int i = 2; i <= 999; ++i) {
            connection.Execute(SqlText::insertValues(
                values.tbl_rule, {orderNumber(i), root.path(), root.path() + u"/out"_s,
                                  u"e%1"_s.arg(i), u"7"_s, u"複写"_s}));
        }
        transaction.commit();
    }
    RuleTable table(values, [] {});
    QElapsedTimer timer;
    timer.start();
    table.registerRule({{}, root.path(), root.path() + u"/out"_s, u"first"_s, u"7"_s, kCopyProcess},
                       QString(), false);
    const double registration = timer.nsecsElapsed() / 1e9;
    timer.restart();
    table.deleteRule(u"999"_s);
    const double deletion = timer.nsecsElapsed() / 1e9;
    std::printf("renumbering 999 rules: registration %.3f s, deletion %.3f s (target < 1 s) %s\n",
                registration, deletion, verdict(registration < 1 && deletion < 1));
}
