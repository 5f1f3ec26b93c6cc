#pragma once

#include <QDateTime>
#include <QString>
#include <atomic>

#include "disk/file_system.h"
#include "storage/rule_row.h"

// What a rule as typed would handle now: its source folder listed as a run lists it.
struct RuleCount {
    enum class Status { Counted, Missing, Unreadable, Cancelled };
    Status status = Status::Counted;
    qsizetype files = 0;
    qint64 bytes = 0;
    QString oldest;  // the day of the oldest such file, "yyyy/MM/dd"; empty when none
};

// Counts the files of the rule's source and extension that are older than its retention as of
// `now`, with their total size. Files that go while they are counted are left out. Stops early,
// as Cancelled, once `cancelled` is set.
RuleCount countRuleFiles(FileSystem& fs, const Rule& rule, const QDateTime& now,
                         const std::atomic<bool>& cancelled);

// "対象 1,234 件（5.6 GB）、最古 2025/01/03", "対象 0 件", or why it cannot tell:
// "対象: 元ディレクトリがありません", "対象: 元ディレクトリを読めません". Empty when cancelled.
QString ruleCountText(const RuleCount& count);
