#include "text/date_time_text.h"

#include <cmath>
#include <ctime>

#include "text/number_text.h"

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
    // Formatted by hand: a run makes one for every file it handles.
    const int fields[] = {static_cast<int>(year), local.tm_mon + 1, local.tm_mday,
                          local.tm_hour,          local.tm_min,     local.tm_sec};
    QString text(19, Qt::Uninitialized);
    QChar* out = text.data();
    const auto put = [&out](int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10) {
            out[i] = QChar(u'0' + value % 10);
        }
        out += digits;
    };
    const char16_t separators[] = {u'/', u'/', u' ', u':', u':'};
    put(fields[0], 4);
    for (int i = 1; i < 6; ++i) {
        *out++ = QChar(separators[i - 1]);
        put(fields[i], 2);
    }
    return text;
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

std::function<bool(qint64)> olderThan(const QString& cutoff) {
    if (cutoff.isEmpty()) {
        return [](qint64) { return false; };
    }
    const QDateTime at = QDateTime::fromString(cutoff, u"yyyy/MM/dd HH:mm:ss"_s);
    if (!at.isValid()) {
        return [cutoff](qint64 mtime) { return stampText(mtime) < cutoff; };
    }
    // Local time may stand a day or so off the epoch's seconds (time zones, their changes);
    // within two days of the cutoff the text decides.
    constexpr qint64 kMargin = 2 * 86'400;
    const qint64 seconds = at.toSecsSinceEpoch();
    return [cutoff, seconds](qint64 mtime) {
        if (mtime < seconds - kMargin) {
            return true;
        }
        return mtime <= seconds + kMargin && stampText(mtime) < cutoff;
    };
}
