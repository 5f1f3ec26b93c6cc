#include "schedule/schedule_form.h"

using namespace Qt::StringLiterals;

const QStringList& weekdayCaptions() {
    static const QStringList captions = {u"月"_s, u"火"_s, u"水"_s, u"木"_s,
                                         u"金"_s, u"土"_s, u"日"_s};
    return captions;
}

QString twoDigits(const QString& text) {
    return (u"00"_s + text).right(2);
}

Schedule normalizedSchedule(const std::array<bool, 7>& ticked, const QString& hour,
                            const QString& minute, const QString& logDays) {
    QString weekdays;
    for (int i = 0; i < 7; ++i) {
        if (ticked[static_cast<size_t>(i)]) {
            weekdays += weekdayCaptions()[i];
        }
    }
    if (weekdays.trimmed().isEmpty()) {
        weekdays = u" "_s;  // the stored weekday text is never empty
    }
    return {weekdays, twoDigits(hour), twoDigits(minute), logDays};
}
