#include "run/run_plan.h"

#include <gtest/gtest.h>

#include <QDirIterator>

#include "run/maintenance_run.h"
#include "support/chained_trees.h"
#include "text/date_time_text.h"

using namespace Qt::StringLiterals;

namespace {

QString fileLine(const Rule& rule, bool failed, const QString& stamp, qint64 size,
                 const QString& path, const QString& target) {
    return rule.order + u' ' + rule.process + (failed ? u"失敗 "_s : u" "_s) + stamp + u' ' +
           QString::number(size) + u' ' + path + u" → "_s + target;
}

// What the run did, file by file, in the plan's terms.
class HandledFiles : public RunObserver {
public:
    QStringList lines;
    void ruleStarted(const Rule& rule) override { lines << rule.order; }
    void fileHandled(const FileReport& report) override {
        if (report.status != FileStatus::Skipped) {
            lines << fileLine(report.rule, report.status == FileStatus::Failed, report.stamp,
                              report.size, report.path, report.target);
        }
    }
};

QStringList plannedLines(const RunPlan& plan) {
    QStringList lines;
    for (const RunPlan::PlannedRule& rule : plan.rules) {
        lines << rule.rule.order;
        for (qsizetype i = rule.firstFile; i < rule.firstFile + rule.fileCount; ++i) {
            lines << fileLine(rule.rule, plan.failures.contains(i), stampText(plan.mtime(i)),
                              plan.size(i), plan.path(rule, i), plan.target(rule, i));
        }
    }
    return lines;
}

// Every file and folder under the tree's root, with its time and size.
QStringList snapshot(const QString& root) {
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        entries << info.filePath() + u' ' + QString::number(info.size()) + u' ' +
                       QString::number(info.lastModified().toSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

}  // namespace

// The point of the preview: on trees whose rules hand files on to each other, it plans the
// files the run then handles, in the run's order, with the same processes, time stamps, sizes
// and failures, and the same stop.
TEST(RunPlan, PlansWhatTheRunThenDoesOnChainedTrees) {
    for (const ChainedTree& chained : chainedTrees()) {
        SCOPED_TRACE(chained.name);
        TempTree tree;
        chained.build(tree);
        PosixFileSystem disk;
        const QStringList before = snapshot(tree.path());

        std::atomic<qsizetype> planned{0};
        const RunPlan plan = planRun(tree.values(), disk, at(kChainRunAt), planned, false);
        EXPECT_FALSE(plan.cancelled);
        EXPECT_EQ(planned, static_cast<qsizetype>(plan.files.size()));
        EXPECT_EQ(snapshot(tree.path()), before);  // planning changed nothing

        HandledFiles handled;
        MaintenanceRun run(tree.values(), disk, &handled);
        const RunOutcome outcome = run.EXEC_DEL(at(kChainRunAt), u"30"_s);
        EXPECT_GT(handled.lines.size(), 1);
        EXPECT_EQ(plannedLines(plan), handled.lines);
        EXPECT_EQ(plan.outcome.result, outcome.result);
        EXPECT_EQ(plan.outcome.failures.size(), outcome.failures.size());
    }
}

TEST(RunPlan, ACancelledPlanStopsAndSaysSo) {
    TempTree tree;
    chainedTrees().front().build(tree);
    PosixFileSystem disk;
    std::atomic<qsizetype> planned{0};
    const RunPlan plan = planRun(tree.values(), disk, at(kChainRunAt), planned, true);
    EXPECT_TRUE(plan.cancelled);
    EXPECT_TRUE(plan.rules.isEmpty());
}
