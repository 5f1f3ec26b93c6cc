#include "schedule/scheduled_minute.h"

#include <algorithm>

#include "schedule/schedule_form.h"

using namespace Qt::StringLiterals;

QChar weekdayKanji(const QDate& day) {
    return weekdayCaptions()[day.dayOfWeek() - 1].front();  // both count from Monday
}

bool isScheduledDay(const QDate& day, const Schedule& schedule) {
    return schedule.weekdays.contains(weekdayKanji(day));
}

bool isScheduledMinute(const QDateTime& now, const Schedule& schedule) {
    return isScheduledDay(now.date(), schedule) && now.toString(u"HH"_s) == schedule.hour &&
           now.toString(u"mm"_s) == schedule.minute;
}

namespace {

qint64 localOffset(qint64 utcSeconds) {
    return QDateTime::fromSecsSinceEpoch(utcSeconds).offsetFromUtc();
}

// When the day's local minute begins, in seconds since the epoch: its first occurrence, or for
// a minute a clock change skips, the moment of the jump.
qint64 minuteStart(const QDate& day, const QTime& time) {
    // The wall time read as if it were UTC; the true moment is that less the offset in force.
    const qint64 wall = QDateTime(day, time, Qt::UTC).toSecsSinceEpoch();
    const qint64 offsetBefore = localOffset(wall - 86400);
    const qint64 offsetAfter = localOffset(wall + 86400);
    std::optional<qint64> first;
    for (const qint64 offset : {offsetBefore, offsetAfter}) {
        const qint64 candidate = wall - offset;
        const QDateTime local = QDateTime::fromSecsSinceEpoch(candidate);
        if (local.date() == day && local.time() == time && (!first || candidate < *first)) {
            first = candidate;
        }
    }
    if (first) {
        return *first;
    }
    // Skipped: the jump lies between the two readings; find the first second after it.
    qint64 low = std::min(wall - offsetBefore, wall - offsetAfter);
    qint64 high = std::max(wall - offsetBefore, wall - offsetAfter);
    while (low < high) {
        const qint64 middle = low + (high - low) / 2;
        if (localOffset(middle) == offsetBefore) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

}  // namespace

std::optional<QDateTime> dueMinute(const QDateTime& now, const Schedule& schedule) {
    const QTime time = QTime::fromString(schedule.hour + u':' + schedule.minute, u"HH:mm"_s);
    const QDate day = now.date();
    if (schedule.hour.size() != 2 || schedule.minute.size() != 2 || !time.isValid() ||
        !isScheduledDay(day, schedule)) {
        return std::nullopt;
    }
    const qint64 start = minuteStart(day, time);
    const qint64 seconds = now.toSecsSinceEpoch();
    if (seconds < start || seconds >= start + 60) {
        return std::nullopt;
    }
    return QDateTime::fromSecsSinceEpoch(start, Qt::UTC);
}

int msecsToNextMinute(const QDateTime& now) {
    // A timer may fire a few milliseconds early; the margin keeps it in the new minute.
    constexpr int kMargin = 100;
    const QTime time = now.time();
    return 60000 - (time.second() * 1000 + time.msec()) + kMargin;
}
