#include "schedule/schedule_check.h"

using namespace Qt::StringLiterals;

QChar weekdayKanji(const QDate& day) {
    static const QString kWeekdays = u"日月火水木金土"_s;  // Sunday first, as dayOfWeek % 7 counts
    return kWeekdays[day.dayOfWeek() % 7];
}

bool isScheduledDay(const QDate& day, const Schedule& schedule) {
    return schedule.weekdays.contains(weekdayKanji(day));
}

bool isScheduledMinute(const QDateTime& now, const Schedule& schedule) {
    return isScheduledDay(now.date(), schedule) && now.toString(u"HH"_s) == schedule.hour &&
           now.toString(u"mm"_s) == schedule.minute;
}
