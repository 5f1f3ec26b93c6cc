#include "run/run_plan.h"

#include <algorithm>

#include "disk/name_text.h"
#include "run/maintenance_run.h"
#include "text/number_text.h"

using namespace Qt::StringLiterals;

namespace {

// Keeps what the dry run reports, and asks it to stop once the plan is no longer wanted.
class PlanRecorder : public RunObserver {
public:
    PlanRecorder(RunPlan& plan, std::atomic<qsizetype>& planned, const std::atomic<bool>& stop)
        : m_plan(plan), m_planned(planned), m_stop(stop) {}

    void ruleStarted(const Rule& rule) override {
        m_plan.rules.append({rule, static_cast<qsizetype>(m_plan.files.size()), 0, 0, 0, {}, {}});
    }

    void listed(const std::shared_ptr<const Listing>& listing) override {
        m_plan.rules.last().listing = listing;
        // Made to size once for the listing, yet growing by half or more, so that many small
        // listings do not copy the plan again and again.
        const size_t needed = m_plan.files.size() + listing->files.size();
        if (needed > m_plan.files.capacity()) {
            m_plan.files.reserve(std::max(needed, m_plan.files.capacity() * 3 / 2));
        }
    }

    void fileHandled(const FileReport& report) override {
        if (report.status == FileStatus::Skipped) {
            return;  // gone by the time its rule reaches it
        }
        RunPlan::PlannedRule& rule = m_plan.rules.last();
        const auto index = static_cast<qsizetype>(m_plan.files.size());
        m_plan.files.push_back(report.listed);
        if (report.size != report.listed->size) {
            m_plan.checkedSizes.insert(index, report.size);
        }
        if (report.replaces) {
            m_plan.replacing.insert(index);
        }
        if (report.status == FileStatus::Failed || report.status == FileStatus::Held) {
            m_plan.failures.insert(index, report.reason);
            if (report.status == FileStatus::Held) {
                m_plan.held.insert(index);
            }
        }
        ++rule.fileCount;
        if (report.status == FileStatus::Held) {
            ++rule.heldCount;
        } else {
            rule.bytes += report.size;
        }
        m_planned.store(static_cast<qsizetype>(m_plan.files.size()), std::memory_order_relaxed);
    }

    bool stopWanted() const override { return m_stop.load(std::memory_order_relaxed); }

private:
    RunPlan& m_plan;
    std::atomic<qsizetype>& m_planned;
    const std::atomic<bool>& m_stop;
};

}  // namespace

qint64 RunPlan::size(qsizetype file) const {
    return checkedSizes.value(file, files[static_cast<size_t>(file)]->size);
}

QString RunPlan::name(const PlannedRule& rule, qsizetype file) const {
    return nameText(rule.listing->nameView(*files[static_cast<size_t>(file)]));
}

QString RunPlan::path(const PlannedRule& rule, qsizetype file) const {
    return rule.rule.source + u'/' + name(rule, file);
}

QString RunPlan::target(const PlannedRule& rule, qsizetype file) const {
    return rule.rule.copies() ? rule.rule.destination + u'/' + name(rule, file) : QString();
}

RunPlan planRun(const ModuleValues& values, FileSystem& fs, const QDateTime& runAt,
                std::atomic<qsizetype>& planned, const std::atomic<bool>& stop) {
    RunPlan plan;
    plan.runAt = runAt;
    PlanRecorder recorder(plan, planned, stop);
    plan.outcome = MaintenanceRun(values, fs, &recorder, RunMode::Dry).EXEC_DEL(runAt, QString());
    if (plan.outcome.cancelled) {
        plan.cancelled = true;
        return plan;
    }
    // A folder the rule could not work in is reported with the folder's path.
    for (RunPlan::PlannedRule& rule : plan.rules) {
        for (const FileFailure& failure : plan.outcome.failures) {
            if (failure.order == rule.rule.order &&
                (failure.path == rule.rule.source || failure.path == rule.rule.destination)) {
                rule.problem = failure.message();
            }
        }
    }
    return plan;
}

QString filesAndSizeText(qsizetype files, qint64 bytes) {
    return countText(files) + u" 件（"_s + sizeText(bytes) + u"）"_s;
}
