#pragma once

#include <QDateTime>
#include <optional>

#include "schedule/schedule.h"

// The kanji of the day's weekday: 日 for Sunday through 土 for Saturday.
QChar weekdayKanji(const QDate& day);

// True when the day is one of the schedule's weekdays.
bool isScheduledDay(const QDate& day, const Schedule& schedule);

// True when the clock stands in the schedule's minute on one of its weekdays. The hour and
// minute are compared as two-character texts, so a stored hour "9" never matches.
bool isScheduledMinute(const QDateTime& now, const Schedule& schedule);

// The scheduled minute that `now` stands in, as the UTC time it began, or nothing when `now` is
// not in one. A minute is due on one of the schedule's weekdays at its hour and minute, local
// time; when a clock change repeats that time, only its first occurrence is due, and when a
// change skips it, the first minute after the jump is due instead, as cron does. The hour and
// minute are compared as two-character texts, so a stored hour "9" never matches.
std::optional<QDateTime> dueMinute(const QDateTime& now, const Schedule& schedule);

// How long the minute timer waits from `now`, in milliseconds, to fire a moment after the
// clock's next minute begins: never in the minute it fires from, and never a whole minute late.
int msecsToNextMinute(const QDateTime& now);
