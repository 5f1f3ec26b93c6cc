#pragma once

#include <QDateTime>
#include <QString>

#include "schedule/run_outcome.h"
#include "settings/schedule.h"

// "次回 12/09（水）05:30": the first scheduled minute after the one `now` stands in, on the check
// the timer makes; "次回 なし" when the schedule names no minute that can ever match.
QString nextRunText(const QDateTime& now, const Schedule& schedule);

// "前回 12/07 05:30 完了 1,234 件", "前回 12/07 05:30 失敗 3 件", or "前回 12/07 05:30 中断" for a
// run that a missing directory, a storage failure or another run's lock kept from its end.
QString lastRunText(const QDateTime& at, const RunOutcome& outcome);
