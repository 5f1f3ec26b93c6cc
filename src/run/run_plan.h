#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <atomic>
#include <memory>
#include <vector>

#include "disk/file_system.h"
#include "run/run_observer.h"
#include "run/run_outcome.h"
#include "storage/module_values.h"
#include "storage/rule_row.h"

// What a run as of a given time would do, rule by rule and file by file, in the order the run
// would handle them. The files are the entries of the listings the run worked through, which the
// plan keeps: a million files cost the plan eight bytes each beyond their listing.
struct RunPlan {
    struct PlannedRule {
        Rule rule;
        qsizetype firstFile = 0;  // its files are files[firstFile, firstFile + fileCount)
        qsizetype fileCount = 0;
        qsizetype heldCount = 0;  // of its files, those it would leave alone (see held)
        qint64 bytes = 0;         // of the files it would handle
        QString problem;  // why the rule could not work in one of its folders; empty if it can
        std::shared_ptr<const Listing> listing;  // the one its files are entries of
    };

    QDateTime runAt;
    QList<PlannedRule> rules;  // those the run would start, in order
    std::vector<const ListedFile*> files;
    // The files whose size, as checked just before the act, is not their listing's.
    QHash<qsizetype, qint64> checkedSizes;
    // Why a file would fail, or be held, by its index in files.
    QHash<qsizetype, QString> failures;
    // The files an earlier rule would fail on, which this rule would leave alone.
    QSet<qsizetype> held;
    // The files whose copy or move would replace a file at the target.
    QSet<qsizetype> replacing;
    // Why the run would stop (a missing folder), or why nothing could be planned.
    RunOutcome outcome;
    bool cancelled = false;

    qint64 mtime(qsizetype file) const { return files[static_cast<size_t>(file)]->mtime; }
    qint64 size(qsizetype file) const;
    QString name(const PlannedRule& rule, qsizetype file) const;  // of one of the rule's files
    QString path(const PlannedRule& rule, qsizetype file) const;
    QString target(const PlannedRule& rule, qsizetype file) const;  // empty for a deletion
};

// Plans the run as of runAt with the run's own code: the stored rules in order, each listed and
// checked as the run does it, on a model of the tree that records what the earlier rules
// change instead of changing it (see DiskOverlay). Reads the database without writing to it, and
// changes nothing on the disk. `planned` counts the files planned so far, for another thread to
// show; once `stop` is set, the plan ends at the next file or rule and comes back cancelled.
RunPlan planRun(const ModuleValues& values, FileSystem& fs, const QDateTime& runAt,
                std::atomic<qsizetype>& planned, const std::atomic<bool>& stop);

// "1,234 件（5.6 MB）"
QString filesAndSizeText(qsizetype files, qint64 bytes);
