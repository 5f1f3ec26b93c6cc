#pragma once

#include <QDateTime>

#include "settings/schedule.h"

// The kanji of the day's weekday: 日 for Sunday through 土 for Saturday.
QChar weekdayKanji(const QDate& day);

// True when the day is one of the schedule's weekdays.
bool isScheduledDay(const QDate& day, const Schedule& schedule);

// True when the clock stands in the schedule's minute on one of its weekdays. The hour and
// minute are compared as two-character texts, so a stored hour "9" never matches.
bool isScheduledMinute(const QDateTime& now, const Schedule& schedule);
