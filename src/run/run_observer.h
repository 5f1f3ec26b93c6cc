#pragma once

#include <QString>

#include <memory>
#include <optional>

#include "disk/file_lister.h"
#include "storage/log_rows.h"
#include "storage/rule_row.h"
#include "storage/trash_records.h"

// Skipped: changed or replaced since it was listed, so left alone and not counted. Held: an
// earlier rule of the run failed on it, so no later rule touches it until the next run.
enum class FileStatus { Done, Failed, Skipped, Held };

// One file the run handled (or, in a dry run, would handle). Paths are the text forms.
struct FileReport {
    const Rule& rule;
    QString path;
    QString target;  // where a copy or move puts it; empty for any other process
    QString stamp;
    qint64 mtime;  // seconds since the epoch
    qint64 size;
    FileStatus status;
    QString reason;  // why it failed
    // What a copy or move left at the target, for the log to keep; none for anything else.
    std::optional<FileIdentity> placed;
    // Where in the trash a deletion put the file, or a copy or move the file it replaced.
    std::optional<TrashRecord> trashed = {};
    // The rule deletes into the trash (for a dry run too, which puts nothing there).
    bool toTrash = false;
    // The copy or move replaces a file that stood at the target.
    bool replaces = false;
    // The file's entry in the listing its rule works through (see RunObserver::listed).
    const ListedFile* listed = nullptr;
};

// Told about each rule as it starts and each file after it is handled, and now and then while
// a directory is listed. The window lets its events through here; the batch runner prints.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void ruleStarted(const Rule&) {}
    // The listing the rule's files come from, which the reports' entries point into: an
    // observer that keeps it may keep those entries instead of copying them.
    virtual void listed(const std::shared_ptr<const Listing>&) {}
    virtual void fileHandled(const FileReport&) {}
    virtual void working() {}
    // Asked before each rule and each batch of files: true ends the run there, with every file
    // it touched logged, and the outcome says it was cancelled.
    virtual bool stopWanted() const { return false; }
};
