#include "run/run_notice.h"

#include <gtest/gtest.h>

#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

TEST(RunNotice, WhatTheLastRunCameTo) {
    const QString at = u"2026/12/07 13:04:12"_s;
    const struct {
        RunHistory::Finished run;
        QString text;
    } cases[] = {
        {{at, 1234, 0, {}}, u"前回 12/07 13:04 完了 1,234 件"_s},
        {{at, 40000, 3, {}}, u"前回 12/07 13:04 完了 39,997 件、失敗 3 件"_s},
        {{at, 0, 1, {}}, u"前回 12/07 13:04 完了 0 件、失敗 1 件"_s},  // a folder that failed
        {{at, 12, 0, u"x"_s}, u"前回 12/07 13:04 中断"_s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lastRunText(c.run), c.text);
    }
}

TEST(RunNotice, FailureSummaryNamesEachFileWithItsRuleThenCountsTheRest) {
    QList<FileFailure> failures;
    for (int i = 0; i < 25; ++i) {
        failures.append({u"003"_s, u"移動"_s, u"/d/f%1"_s.arg(i), u"アクセスが拒否されました"_s});
    }
    const QStringList lines = failureSummary(failures).split(u'\n');
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[0], u"順序 003 移動: /d/f0 の処理に失敗しました（アクセスが拒否されました）"_s);
    EXPECT_EQ(lines[20], u"ほか 5 件"_s);

    // The notice opens with when the run was and what it came to.
    RunOutcome outcome;
    outcome.doneFiles = 39997;
    outcome.failures = failures.mid(0, 3);
    const RunNotice notice =
        runNotice(outcome, u"/db"_s, QDateTime(QDate(2026, 12, 7), QTime(13, 4, 55)));
    EXPECT_EQ(notice.headline, u"12/07 13:04 の実行: 完了 39,997 件、失敗 3 件"_s);
    EXPECT_EQ(notice.problems, QStringList{failureSummary(outcome.failures)});
}
