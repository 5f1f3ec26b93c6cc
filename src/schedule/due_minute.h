#pragma once

#include <QDateTime>
#include <optional>

#include "settings/schedule.h"

// The scheduled minute that `now` stands in, as the UTC time it began, or nothing when `now` is
// not in one. A minute is due on one of the schedule's weekdays at its hour and minute, local
// time; when a clock change repeats that time, only its first occurrence is due, and when a
// change skips it, the first minute after the jump is due instead, as cron does. The hour and
// minute are compared as two-character texts, so a stored hour "9" never matches.
std::optional<QDateTime> dueMinute(const QDateTime& now, const Schedule& schedule);
