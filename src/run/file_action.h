#pragma once

#include <QDateTime>
#include <QString>

#include "disk/file_system.h"
#include "run/run_observer.h"

// What a rule's files are handled in, once its directories are open.
struct RuleDirectories {
    const Rule& rule;
    int source;
    int destination;     // -1 unless the rule copies or moves
    bool ontoItself;     // the destination is the source directory reached another way
    bool oneFileSystem;  // source and destination are on one file system: a move renames
    QString cutoff;      // a file stamped before it is old
    bool trashes;        // a deletion moves the file to the trash
    QDateTime runAt;     // what the trash is told of when the file was deleted
};

// One old file of a rule's listing.
struct OldFile {
    const ListedFile* listed;
    const char* name;  // its bytes, as the directory gave them
    QString path;      // the source path's text form
    QString target;    // the target path's text form; empty unless the rule copies or moves
    QString stamp;
    bool held;  // an earlier rule of the run failed on it: it is left alone, without a row
};

// Handles one file of the listing: first makes sure it is still the file that was listed, and
// still old (the listing may be minutes old by now), then copies, moves or deletes it. A file
// changed or replaced meanwhile is Skipped, and so is one gone before it was touched.
FileReport checkAndAct(FileSystem& fs, const RuleDirectories& rule, const OldFile& file);
