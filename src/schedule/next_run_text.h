#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

#include "schedule/schedule.h"

// The first scheduled minute after the one `now` stands in, on the check the timer makes;
// nothing when the schedule names no minute that can ever match.
std::optional<QDateTime> nextRunAt(const QDateTime& now, const Schedule& schedule);

// "12/09（水）05:30"
QString runMinuteText(const QDateTime& minute);

// "次回 12/09（水）05:30": the first scheduled minute after the one `now` stands in, on the check
// the timer makes; "次回 なし" when the schedule names no minute that can ever match.
QString nextRunText(const QDateTime& now, const Schedule& schedule);
