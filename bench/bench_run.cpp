// Times sweeprun-batch against the floor (what the kernel needs for the same files, no log),
// find, mv, cp, tmpreaper and systemd-tmpfiles on identical trees of old files, in RAM and on
// disk, rotating which goes first; then peak memory at 100 000 and 1 000 000 files, and a run
// started by the window's timer; then the preview of the next run against the dry run and the
// listing. Prints medians, ratios and whether each target is met.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "rules/rule_table.h"
#include "storage/connection.h"
#include "storage/module_values.h"
#include "storage/schema.h"
#include "storage/sql_text.h"

using namespace Qt::StringLiterals;

namespace {

struct Timing {
    double seconds = 0;
    long peakKiB = 0;
    QByteArray output;
};

// Runs a command to completion with its standard output kept (or discarded).
Timing timeCommand(const QStringList& command, bool keepOutput = false) {
    ::sync();  // earlier writes are not charged to this command
    int pipeFds[2] = {-1, -1};
    if (keepOutput && ::pipe(pipeFds) != 0) {
        std::exit(1);
    }
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = keepOutput ? pipeFds[1] : ::open("/dev/null", O_WRONLY);
        dup2(out, STDOUT_FILENO);
        std::vector<QByteArray> bytes;
        for (const QString& part : command) {
            bytes.push_back(part.toLocal8Bit());
        }
        std::vector<char*> argv;
        for (QByteArray& part : bytes) {
            argv.push_back(part.data());
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    Timing timing;
    if (keepOutput) {
        ::close(pipeFds[1]);
        char buffer[4096];
        for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
            timing.output.append(buffer, n);
        }
        ::close(pipeFds[0]);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    timing.seconds = timer.nsecsElapsed() / 1e9;
    timing.peakKiB = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "command failed (%d): %s\n", status, qPrintable(command.join(u' ')));
        std::exit(1);
    }
    return timing;
}

// n files of the given size, modified in 2010, one second apart.
void makeTree(const QString& dir, int n, qsizetype size, const char* extension) {
    QDir().mkpath(dir);
    const QByteArray content(size, 'q');
    for (int i = 0; i < n; ++i) {
        const QByteArray path =
            QFile::encodeName(dir) + QByteArray("/file") + QByteArray::number(i) + '.' + extension;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, content.constData(), content.size()) != content.size()) {
            std::perror(path.constData());
            std::exit(1);
        }
        const timespec times[2] = {{1262304000 + i, 0}, {1262304000 + i, 0}};
        ::futimens(fd, times);
        ::close(fd);
    }
}

// A database with one rule over root/src (to root/dst) and a schedule of every day at 09:05.
QString makeDatabase(const QString& root, const QString& process, const char* extension) {
    const ModuleValues values = ModuleValues::forDatabase(root + u"/sweeprun.db"_s);
    ensureSchema(values);
    Connection connection(values);
    connection.Execute(
        SqlText::insertValues(values.tbl_set, {u"日月火水木金土"_s, u"09"_s, u"05"_s, u"30"_s}));
    connection.Execute(
        SqlText::insertValues(values.tbl_rule, {u"001"_s, root + u"/src"_s, root + u"/dst"_s,
                                                QString::fromLatin1(extension), u"7"_s, process}));
    return values.db_path;
}

bool installed(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty() ||
           QFileInfo::exists(u"/usr/sbin/"_s + program);
}

// The command each tool runs on root/src (into root/dst), or nothing when the tool is missing.
QStringList toolCommand(const QString& tool, const QString& op, const QString& root,
                        const char* extension) {
    const QString src = root + u"/src"_s;
    const QString dst = root + u"/dst"_s;
    const QString pattern = u"*."_s + QString::fromLatin1(extension);
    if (tool == u"quillon"_s) {
        const QString process = op == u"delete"_s ? u"削除"_s
                                : op == u"move"_s ? u"移動"_s
                                                  : u"複写"_s;
        return {QStringLiteral(SWEEPRUN_BATCH), u"--db"_s, makeDatabase(root, process, extension)};
    }
    if (tool == u"floor"_s) {
        return {QStringLiteral(BENCH_FLOOR), op, src, QString::fromLatin1(extension), dst};
    }
    if (tool == u"find"_s && op == u"delete"_s) {
        return {u"find"_s, src, u"-name"_s, pattern, u"-delete"_s};
    }
    if (tool == u"find"_s) {
        const QStringList action = op == u"move"_s ? QStringList{u"mv"_s, u"-t"_s, dst}
                                                   : QStringList{u"cp"_s, u"-p"_s, u"-t"_s, dst};
        return QStringList{u"find"_s, src, u"-name"_s, pattern, u"-exec"_s} + action +
               QStringList{u"{}"_s, u"+"_s};
    }
    if (tool == u"tmpreaper"_s && installed(tool)) {
        return {u"/usr/sbin/tmpreaper"_s, u"--mtime"_s, u"7d"_s, src};
    }
    if (tool == u"tmpfiles"_s && installed(u"systemd-tmpfiles"_s)) {
        QFile config(root + u"/clean.conf"_s);
        if (!config.open(QIODevice::WriteOnly)) {
            std::exit(1);
        }
        config.write(("e " + QFile::encodeName(src) + " - - - m:7d\n"));
        return {u"systemd-tmpfiles"_s, u"--clean"_s, config.fileName()};
    }
    return {};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

const char* verdict(bool met) {
    return met ? "ok" : "MISSED";
}

struct Bench {
    int files = 100'000;
    int bigFiles = 200;
    int rounds = 3;
    int ramRounds = 9;  // a run in RAM takes a second, and varies more from one to the next
    int millionFiles = 1'000'000;
    QString ram = u"/dev/shm"_s;
    QString disk = QDir::tempPath();
    long peakKiB = 0;  // of sweeprun-batch at `files` files

    // Medians per tool of one operation on one medium, tools rotated round by round.
    std::map<QString, double> compare(const QString& where, const QString& op,
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

    void ratio(const char* what, double ours, double theirs, double target) {
        const double value = ours / theirs;
        std::printf("  %-40s %.2f (target <= %.2f) %s\n", what, value, target,
                    verdict(value <= target));
    }

    void speed() {
        const QStringList deleters = {u"floor"_s, u"quillon"_s, u"find"_s, u"tmpreaper"_s,
                                      u"tmpfiles"_s};
        const QStringList movers = {u"floor"_s, u"quillon"_s, u"find"_s};
        std::printf("RAM (%s), %d files:\n", qPrintable(ram), files);
        auto del = compare(ram, u"delete"_s, deleters);
        auto mov = compare(ram, u"move"_s, movers);
        ratio("delete, quillon / floor", del[u"quillon"_s], del[u"floor"_s], 1.25);
        ratio("move, quillon / floor", mov[u"quillon"_s], mov[u"floor"_s], 1.25);
        if (disk == u"none"_s) {
            return;
        }
        std::printf("disk (%s), %d files, %d files of 1 MiB to copy:\n", qPrintable(disk), files,
                    bigFiles);
        del = compare(disk, u"delete"_s, deleters);
        mov = compare(disk, u"move"_s, movers);
        auto copy = compare(disk, u"copy"_s, {u"quillon"_s, u"find"_s});
        ratio("delete, quillon / find -delete", del[u"quillon"_s], del[u"find"_s], 1.05);
        ratio("move, quillon / find -exec mv", mov[u"quillon"_s], mov[u"find"_s], 1.05);
        ratio("copy, quillon / find -exec cp -p", copy[u"quillon"_s], copy[u"find"_s], 1.05);
    }

    // The window's run against the batch's on identical trees in RAM, and both programs' peak
    // memory with `count` files in one directory.
    void windowAndMemory(int count, bool timeIt) {
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
                    double seconds = 0;
                    double gapMs = 0;
                    double repaints = 0;
                    std::sscanf(timing.output.constData(), "%lf %lf %lf", &seconds, &gapMs,
                                &repaints);
                    windowTimes.push_back(seconds);
                    longestGapMs = std::max(longestGapMs, gapMs);
                    slowestRepaints = std::min(slowestRepaints, repaints);
                    windowPeak = std::max(windowPeak, timing.peakKiB);
                } else {
                    const Timing timing =
                        timeCommand({QStringLiteral(SWEEPRUN_BATCH), u"--db"_s, db});
                    batchTimes.push_back(timing.seconds);
                    batchPeak = std::max(batchPeak, timing.peakKiB);
                }
            }
        }
        const double target = count > 200'000 ? 128 : 64;
        std::printf("%d files moved in one directory (RAM):\n", count);
        std::printf(
            "  peak memory: sweeprun-batch %.1f MiB, window %.1f MiB (target <= %.0f MiB) %s\n",
            batchPeak / 1024.0, windowPeak / 1024.0, target,
            verdict(std::max(batchPeak, windowPeak) <= target * 1024));
        if (timeIt) {
            std::printf("  window's timer run %.3f s, sweeprun-batch %.3f s\n", median(windowTimes),
                        median(batchTimes));
            ratio("window / sweeprun-batch", median(windowTimes), median(batchTimes), 1.1);
            std::printf(
                "  window: longest wait for events %.0f ms, %.1f repaints a second "
                "(target >= 10) %s\n",
                longestGapMs, slowestRepaints, verdict(slowestRepaints >= 10));
        }
    }

    // Peak memory of a run over a folder of `count` young files with long names, which it
    // leaves alone, against a run over an empty folder: what other people's files cost it.
    void youngFiles(int count) {
        long peaks[2] = {0, 0};
        for (const int files : {0, count}) {
            QTemporaryDir root(ram + u"/quillon-bench-XXXXXX"_s);
            const QByteArray src = QFile::encodeName(root.path()) + "/src/";
            QDir().mkpath(root.path() + u"/src"_s);
            QDir().mkpath(root.path() + u"/dst"_s);
            for (int i = 0; i < files; ++i) {
                const QByteArray name =
                    src + QByteArray::number(i).rightJustified(246, 'y') + ".log";
                const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd < 0) {
                    std::perror(name.constData());
                    std::exit(1);
                }
                ::close(fd);
            }
            const QString db = makeDatabase(root.path(), u"移動"_s, "log");
            peaks[files > 0] = timeCommand({QStringLiteral(SWEEPRUN_BATCH), u"--db"_s, db}).peakKiB;
        }
        const double above = (peaks[1] - peaks[0]) / 1024.0;
        std::printf("%d young files with 250-byte names, left alone (RAM):\n", count);
        std::printf(
            "  peak memory %.1f MiB, %.1f MiB above an empty folder (target <= 16 MiB) %s\n",
            peaks[1] / 1024.0, above, verdict(above <= 16));
    }

    // The preview of the next run against sweeprun-batch --dry-run and against the listing
    // alone, with `count` old files to move in one directory (RAM), and the preview window's
    // repaints while it works. Nothing changes the tree, so the three take turns on one.
    void preview(int count, int repeats) {
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
                    double seconds = 0;
                    double gapMs = 0;
                    double repaints = 0;
                    std::sscanf(timing.output.constData(), "%lf %lf %lf", &seconds, &gapMs,
                                &repaints);
                    times[1].push_back(seconds);
                    longestGapMs = std::max(longestGapMs, gapMs);
                    slowestRepaints = std::min(slowestRepaints, repaints);
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
        ratio("preview / listing (about 2)", median(times[1]), median(times[0]), 2.2);
        std::printf(
            "  preview: longest wait for events %.0f ms, %.1f repaints a second "
            "(target >= 10) %s; peak memory %.1f MiB\n",
            longestGapMs, slowestRepaints, verdict(slowestRepaints >= 10), previewPeak / 1024.0);
    }
};

// Registering a rule at the top of a full table of 999 rules, and deleting it again: each
// renumbers every rule.
void timeRenumbering(const QString& where) {
    QTemporaryDir root(where + u"/quillon-bench-XXXXXX"_s);
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

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure shows as soon as it is measured
    Bench bench;
    QString only;  // "preview" or "young": only those figures
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
    if (only == u"young"_s) {
        bench.youngFiles(200'000);
        return 0;
    }
    if (only == u"preview"_s) {
        bench.preview(bench.files, bench.rounds);
        if (bench.millionFiles > 0) {
            bench.preview(bench.millionFiles, 1);
        }
        return 0;
    }
    timeRenumbering(bench.ram);
    bench.speed();
    std::printf("peak memory of sweeprun-batch over these runs: %.1f MiB (target <= 64 MiB) %s\n",
                bench.peakKiB / 1024.0, verdict(bench.peakKiB <= 64 * 1024));
    bench.windowAndMemory(bench.files, true);
    bench.youngFiles(200'000);
    bench.preview(bench.files, bench.rounds);
    if (bench.millionFiles > 0) {
        bench.windowAndMemory(bench.millionFiles, false);
        bench.preview(bench.millionFiles, 1);
    }
    return 0;
}
