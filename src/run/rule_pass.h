#pragma once

#include <sys/types.h>

#include <QDateTime>
#include <set>
#include <utility>

#include "disk/file_system.h"
#include "run/file_action.h"
#include "run/log_writer.h"
#include "run/run_observer.h"
#include "run/run_outcome.h"

// Applies the rules of one run, one after another: opens each rule's directories, lists its
// files, logs the old ones batch by batch and hands each to checkAndAct.
class RulePass {
public:
    // With `trashes`, deletions move the files to the trash.
    RulePass(FileSystem& fs, RunLog& log, RunObserver* observer, qsizetype batchSize, bool trashes);

    // False when the rule stops the run: its directory is missing or refused.
    bool apply(const Rule& rule, const QDateTime& runAt, RunOutcome& outcome);

private:
    // Whether a rule's directory lets its rule, or the run, go on.
    enum class Opened { Go, SkipRule, StopRun };

    Opened open(const Rule& rule, const QString& path, bool mayBePathOnly, UniqueFd& fd,
                RunOutcome& outcome);
    void handleAll(const RuleDirectories& directories, const Listing& listing,
                   const QString& runText, RunOutcome& outcome);
    void removeDeadTemporariesOnce(int directory);

    FileSystem& m_fs;
    RunLog& m_log;
    RunObserver* m_observer;
    qsizetype m_batchSize;
    bool m_trashes;
    std::set<std::pair<dev_t, ino_t>> m_cleanedDirectories;
    // The files a rule of this run failed on, by device and inode: later rules leave them.
    std::set<std::pair<dev_t, ino_t>> m_held;
};
