// The window's clock: the minute timer, kept on the minute, and the status line it refreshes,
// with what follows a run of any program.
#include <cstdlib>

#include "run/run_notice.h"
#include "schedule/next_run_text.h"
#include "schedule/scheduled_minute.h"
#include "storage/storage_error.h"
#include "ui/form_sweeprun.h"
#include "ui/preview_window.h"

using namespace Qt::StringLiterals;

void Form_sweeprun::showLastRun() {
    m_statusMinute = m_clock.now();
    const std::optional<RunHistory::Recorded> last = m_runs.lastRun();
    if (last) {
        LabelLast->setText(lastRunText(last->result));
    }
    // A run of any program, this window's included, may have changed the tree and the log.
    const qint64 id = last ? last->id : 0;
    const bool seenBefore = m_lastRunSeen >= 0;
    if (id == m_lastRunSeen) {
        return;
    }
    m_lastRunSeen = id;
    if (seenBefore && !m_runs.running()) {
        try {
            ROAD_DSP_2();
        } catch (const StorageError&) {
            // The list stays as it was; the next action on the store says what is wrong.
        }
        rulesChanged();
    }
}

void Form_sweeprun::rulesChanged() {
    if (Preview != nullptr && Preview->isVisible()) {
        Preview->plan(m_schedule);
    }
    m_countSettle.start();  // the live count, once more
}

void Form_sweeprun::alignTimer() {
    const QDateTime now = m_clock.now();
    const int wait = msecsToNextMinute(now);
    m_nextTick = now.addMSecs(wait);
    Timer1->start(wait);
}

void Form_sweeprun::followClock() {
    const QDateTime now = m_clock.now();
    showTrayStatus();
    if (Timer1->isActive()) {
        // The timer counts real time; a clock stepped forward or back no longer meets it at
        // the minute. The tick that comes now finds out what is due and sets it again.
        if (std::abs(now.msecsTo(m_nextTick) - Timer1->remainingTime()) > 1500) {
            Timer1->start(0);
        }
    } else if (!m_runs.running() &&
               now.toSecsSinceEpoch() / 60 != m_statusMinute.toSecsSinceEpoch() / 60) {
        showLastRun();
    }
}

void Form_sweeprun::Timer1_Timer() {
    if (m_runs.running()) {
        return;
    }
    if (m_runMode) {
        alignTimer();
    }
    showLastRun();
    if (!m_runs.runIfDue(m_schedule)) {
        LabelNext->setText(nextRunText(m_clock.now(), m_schedule));  // a missed minute passes
    }
}
