#pragma once

#include <QDateTime>
#include <QString>

#include "schedule/schedule.h"

// "次回 12/09（水）05:30": the first scheduled minute after the one `now` stands in, on the check
// the timer makes; "次回 なし" when the schedule names no minute that can ever match.
QString nextRunText(const QDateTime& now, const Schedule& schedule);
