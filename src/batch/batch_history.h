#pragma once

#include <QDateTime>
#include <QTextStream>

#include "batch/batch_options.h"
#include "disk/file_system.h"
#include "storage/module_values.h"

// --undo N: takes the run back (or, with --dry-run, tells what that would do), a line per file;
// exit 0 when every file came back, 1 when some could not, 3 for no such run.
int undoRun(const BatchOptions& options, const ModuleValues& values, FileSystem& fs,
            const QDateTime& at, QTextStream& out, QTextStream& err);

// --runs: the recorded runs, newest first, a line each, read without changing anything.
int listRuns(const ModuleValues& values, QTextStream& out, QTextStream& err);
