#pragma once

#include <QString>
#include <QStringList>
#include <array>

#include "schedule/schedule.h"

// The weekday captions, Monday first: the vocabulary of the stored weekday text.
const QStringList& weekdayCaptions();

// The last two characters of "00" followed by the text: "7" gives "07", "7.5" gives ".5".
QString twoDigits(const QString& text);

// The schedule as it is stored: the ticked days' captions Monday first (one space when none),
// hour and minute as two characters, the log retention as typed.
Schedule normalizedSchedule(const std::array<bool, 7>& ticked, const QString& hour,
                            const QString& minute, const QString& logDays);
