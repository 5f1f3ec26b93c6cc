// Times sweeprun-batch against find / mv / cp on identical trees of old files, alternating
// which goes first, and prints the median ratios and the batch's peak memory.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
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
};

// Runs a command to completion with its output discarded.
Timing timeCommand(const QStringList& command) {
    ::sync();  // earlier writes are not charged to this command
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
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
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const Timing timing{timer.nsecsElapsed() / 1e9, usage.ru_maxrss};
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

struct Operation {
    const char* name;
    const char* process;  // the rule's 処理
    const char* extension;
    bool big;
    double target;
};

QStringList baseline(const Operation& op, const QString& src, const QString& dst) {
    const QString pattern = u"*."_s + QString::fromLatin1(op.extension);
    if (QByteArray(op.name) == "delete") {
        return {u"find"_s, src, u"-name"_s, pattern, u"-delete"_s};
    }
    const QStringList tool = QByteArray(op.name) == "move"
                                 ? QStringList{u"mv"_s, u"-t"_s, dst}
                                 : QStringList{u"cp"_s, u"-p"_s, u"-t"_s, dst};
    return QStringList{u"find"_s, src, u"-name"_s, pattern, u"-exec"_s} + tool +
           QStringList{u"{}"_s, u"+"_s};
}

Timing timeBatch(const Operation& op, const QString& root) {
    const ModuleValues values = ModuleValues::forDatabase(root + u"/sweeprun.db"_s);
    ensureSchema(values);
    {
        Connection connection(values);
        connection.Execute(
            SqlText::insertValues(values.tbl_set, {u" "_s, u"09"_s, u"05"_s, u"30"_s}));
        connection.Execute(SqlText::insertValues(
            values.tbl_rule,
            {u"001"_s, root + u"/src"_s, root + u"/dst"_s, QString::fromLatin1(op.extension),
             u"7"_s, QString::fromUtf8(op.process)}));
    }
    return timeCommand({QStringLiteral(SWEEPRUN_BATCH), u"--db"_s, values.db_path});
}

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
    table.registerRule({root.path(), root.path() + u"/out"_s, u"first"_s, u"7"_s, u"複写"_s},
                       QString(), false);
    const double registration = timer.nsecsElapsed() / 1e9;
    timer.restart();
    table.deleteRule(u"999"_s);
    const double deletion = timer.nsecsElapsed() / 1e9;
    std::printf("renumbering 999 rules: registration %.3f s, deletion %.3f s (target < 1 s) %s\n",
                registration, deletion, registration < 1 && deletion < 1 ? "ok" : "MISSED");
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure shows as soon as it is measured
    int files = 100'000;
    int bigFiles = 200;
    int rounds = 3;
    QString where = QDir::tempPath();
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--files"_s) {
            files = args[i + 1].toInt();
        } else if (args[i] == u"--big"_s) {
            bigFiles = args[i + 1].toInt();
        } else if (args[i] == u"--rounds"_s) {
            rounds = args[i + 1].toInt();
        } else if (args[i] == u"--dir"_s) {
            where = args[i + 1];
        }
    }
    std::printf("bench: %d small files, %d files of 1 MiB, %d rounds, in %s\n", files, bigFiles,
                rounds, qPrintable(where));

    const Operation operations[] = {
        {"delete", "削除", "log", false, 1.5},
        {"move", "移動", "log", false, 1.5},
        {"copy", "複写", "dat", true, 1.2},
    };
    timeRenumbering(where);
    long peakKiB = 0;
    for (const Operation& op : operations) {
        std::vector<double> ours;
        std::vector<double> theirs;
        for (int round = 0; round < rounds; ++round) {
            for (int turn = 0; turn < 2; ++turn) {
                const bool batchTurn = (turn + round) % 2 == 0;  // alternate who goes first
                QTemporaryDir root(where + u"/quillon-bench-XXXXXX"_s);
                const QString src = root.path() + u"/src"_s;
                const QString dst = root.path() + u"/dst"_s;
                makeTree(src, op.big ? bigFiles : files, op.big ? (1 << 20) : 16, op.extension);
                QDir().mkpath(dst);
                if (batchTurn) {
                    const Timing timing = timeBatch(op, root.path());
                    ours.push_back(timing.seconds);
                    peakKiB = std::max(peakKiB, timing.peakKiB);
                } else {
                    theirs.push_back(timeCommand(baseline(op, src, dst)).seconds);
                }
            }
        }
        const double ratio = median(ours) / median(theirs);
        std::printf("%-6s sweeprun-batch %.3f s, baseline %.3f s, ratio %.2f (target <= %.1f) %s\n",
                    op.name, median(ours), median(theirs), ratio, op.target,
                    ratio <= op.target ? "ok" : "MISSED");
    }
    std::printf("peak memory of sweeprun-batch: %.1f MiB (target <= 64 MiB) %s\n", peakKiB / 1024.0,
                peakKiB <= 64 * 1024 ? "ok" : "MISSED");
    return 0;
}
