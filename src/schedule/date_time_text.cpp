#include "schedule/date_time_text.h"

#include <cmath>

#include "settings/number_text.h"

using namespace Qt::StringLiterals;

QString dateTimeText(const QDateTime& dateTime) {
    return dateTime.toString(u"yyyy/MM/dd HH:mm:ss"_s);
}

double retentionNumber(const QString& text) {
    const double value = Val(text.trimmed());
    return value > 0 ? value : 0;
}

QString cutoffText(const QDateTime& dateTime, double days) {
    constexpr double kMaxDays = 4'000'000;  // beyond year 1, whatever the run date
    if (!(days <= kMaxDays)) {
        return {};
    }
    const double whole = std::floor(days);
    const qint64 fractionSeconds = std::llround((days - whole) * 86'400);
    const QDateTime cutoff =
        dateTime.addDays(-static_cast<qint64>(whole)).addSecs(-fractionSeconds);
    if (!cutoff.isValid() || cutoff.date().year() < 1 || cutoff.date().year() > 9999) {
        return {};
    }
    return dateTimeText(cutoff);
}
