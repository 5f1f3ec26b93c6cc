#include "schedule/date_time_text.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "settings/number_text.h"

using namespace Qt::StringLiterals;

QString dateTimeText(const QDateTime& dateTime) {
    return dateTime.toString(u"yyyy/MM/dd HH:mm:ss"_s);
}

QString stampText(qint64 seconds) {
    static const QString kFirst = u"0000/01/01 00:00:00"_s;
    static const QString kLast = u"9999/12/31 23:59:59"_s;
    const auto time = static_cast<time_t>(seconds);
    struct tm local {};
    if (localtime_r(&time, &local) == nullptr) {  // beyond what the calendar can hold
        return seconds < 0 ? kFirst : kLast;
    }
    const long long year = local.tm_year + 1900LL;
    if (year < 0) {
        return kFirst;
    }
    if (year > 9999) {
        return kLast;
    }
    char text[64];  // every field is in range here; the room only quiets the compiler
    std::snprintf(text, sizeof text, "%04lld/%02d/%02d %02d:%02d:%02d", year, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return QString::fromLatin1(text, 19);
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
