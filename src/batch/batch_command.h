#pragma once

#include <QTextStream>

#include <functional>

#include "batch/batch_options.h"
#include "batch/desktop_notice.h"
#include "disk/file_system.h"

enum BatchExit : int {
    kExitComplete = 0,
    kExitFailures = 1,
    kExitMissingDirectory = 2,
    kExitUnusable = 3,
    kExitBusy = 4,  // another run holds the database
};

// One maintenance run from the command line: prints a line per handled file and the result,
// and returns the exit code. With progress, a running count goes to err as the run works.
// `tell`, when given, gets the desktop notice of a run that went wrong (or of a database it
// refused); a dry run tells nothing.
int runBatch(const BatchOptions& options, FileSystem& fs, QTextStream& out, QTextStream& err,
             bool progress, const std::function<void(const DesktopNotice&)>& tell = {});
