#include <unistd.h>

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <exception>

#include "batch/batch_command.h"
#include "storage/database_location.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString defaultDb = databasePath();
    const BatchOptionsResult parsed = parseBatchOptions(app.arguments().mid(1), defaultDb);
    if (!parsed.error.isEmpty()) {
        err << parsed.error << u'\n' << batchUsage(defaultDb);
        return kExitUnusable;
    }
    if (parsed.options.help || parsed.options.version) {
        out << (parsed.options.help ? batchUsage(defaultDb) : batchVersion());
        return kExitComplete;
    }
    // Lines to a file or a pipe leave the terminal quiet; a running count shows the run lives.
    const bool progress = isatty(fileno(stderr)) && !isatty(fileno(stdout));
    PosixFileSystem fs;
    try {
        return runBatch(parsed.options, fs, out, err, progress, sendDesktopNotice);
    } catch (const std::exception& error) {  // never end without saying why
        out.flush();
        err << QString::fromLocal8Bit(error.what()) << u'\n';
        return kExitUnusable;
    }
}
