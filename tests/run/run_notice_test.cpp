#include "run/run_notice.h"

#include <gtest/gtest.h>

#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

TEST(RunNotice, WhatTheLastRunCameTo) {
    const QDateTime when = at(u"2026/12/07 05:30:12"_s);
    RunOutcome outcome;
    outcome.handledFiles = 1234;
    EXPECT_EQ(lastRunText(when, outcome), u"前回 12/07 05:30 完了 1,234 件"_s);
    outcome.failures = {{u"/a"_s, u"x"_s}, {u"/b"_s, u"x"_s}, {u"/c"_s, u"x"_s}};
    EXPECT_EQ(lastRunText(when, outcome), u"前回 12/07 05:30 失敗 3 件"_s);
    for (const auto& stop : {&RunOutcome::result, &RunOutcome::storageError}) {
        RunOutcome stopped;
        stopped.*stop = u"x"_s;
        EXPECT_EQ(lastRunText(when, stopped), u"前回 12/07 05:30 中断"_s);
    }
    RunOutcome busy;
    busy.busy = true;
    EXPECT_EQ(lastRunText(when, busy), u"前回 12/07 05:30 中断"_s);
}

TEST(RunNotice, FailureSummaryListsTwentyFilesThenCountsTheRest) {
    QList<FileFailure> failures;
    for (int i = 0; i < 25; ++i) {
        failures.append({u"/d/f%1"_s.arg(i), u"Permission denied"_s});
    }
    const QStringList lines = failureSummary(failures).split(u'\n');
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[0], u"/d/f0 の処理に失敗しました（Permission denied）"_s);
    EXPECT_EQ(lines[20], u"ほか 5 件"_s);
    EXPECT_EQ(failureSummary(failures.mid(0, 1)),
              u"/d/f0 の処理に失敗しました（Permission denied）"_s);
}
