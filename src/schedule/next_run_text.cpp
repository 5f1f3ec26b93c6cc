#include "schedule/next_run_text.h"

#include "schedule/scheduled_minute.h"

using namespace Qt::StringLiterals;

std::optional<QDateTime> nextRunAt(const QDateTime& now, const Schedule& schedule) {
    const QTime time = QTime::fromString(schedule.hour + u':' + schedule.minute, u"HH:mm"_s);
    if (time.isValid()) {
        // The minute now stands in has had its run (or is having it): the next one is later.
        const QDateTime thisMinute(now.date(), QTime(now.time().hour(), now.time().minute()));
        for (int days = 0; days <= 7; ++days) {
            const QDateTime candidate(now.date().addDays(days), time);
            if (candidate > thisMinute && isScheduledMinute(candidate, schedule)) {
                return candidate;
            }
        }
    }
    return std::nullopt;
}

QString runMinuteText(const QDateTime& minute) {
    return minute.toString(u"MM/dd"_s) + u'（' + weekdayKanji(minute.date()) + u'）' +
           minute.toString(u"HH:mm"_s);
}

QString nextRunText(const QDateTime& now, const Schedule& schedule) {
    const std::optional<QDateTime> next = nextRunAt(now, schedule);
    return next ? u"次回 "_s + runMinuteText(*next) : u"次回 なし"_s;
}
