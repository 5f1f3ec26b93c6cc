#pragma once

#include <QDateTime>

#include "settings/schedule.h"

// True when the clock stands in the schedule's minute on one of its weekdays. The hour and
// minute are compared as two-character texts, so a stored hour "9" never matches.
bool isScheduledMinute(const QDateTime& now, const Schedule& schedule);
