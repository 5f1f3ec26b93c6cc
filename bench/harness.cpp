#include "harness.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

Timing timeCommand(const QStringList& command, bool keepOutput) {
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

ProbeFigures probeFigures(const QByteArray& output) {
    ProbeFigures figures;
    std::sscanf(output.constData(), "%lf %lf %lf", &figures.seconds, &figures.longestGapMs,
                &figures.repaintsPerSecond);
    return figures;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

const char* verdict(bool met) {
    return met ? "ok" : "MISSED";
}

void printRatio(const char* what, double ours, double theirs, double target) {
    const double value = ours / theirs;
    std::printf("  %-40s %.2f (target <= %.2f) %s\n", what, value, target,
                verdict(value <= target));
}
