#include "schedule/schedule_check.h"

using namespace Qt::StringLiterals;

bool isScheduledMinute(const QDateTime& now, const Schedule& schedule) {
    // Sunday first, as the weekday numbers count.
    static const QString kWeekdays = u"日月火水木金土"_s;
    const QChar today = kWeekdays[now.date().dayOfWeek() % 7];
    if (!schedule.weekdays.contains(today)) {
        return false;
    }
    const QString hour = now.toString(u"HH"_s);
    const QString minute = now.toString(u"mm"_s);
    return hour == schedule.hour && minute == schedule.minute;
}
