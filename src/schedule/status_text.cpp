#include "schedule/status_text.h"

#include <QLocale>

#include "schedule/schedule_check.h"

using namespace Qt::StringLiterals;

namespace {

QString count(qsizetype n) {
    return QLocale(QLocale::Japanese).toString(n);
}

}  // namespace

QString nextRunText(const QDateTime& now, const Schedule& schedule) {
    const QTime time = QTime::fromString(schedule.hour + u':' + schedule.minute, u"HH:mm"_s);
    if (time.isValid()) {
        // The minute now stands in has had its run (or is having it): the next one is later.
        const QDateTime thisMinute(now.date(), QTime(now.time().hour(), now.time().minute()));
        for (int days = 0; days <= 7; ++days) {
            const QDateTime candidate(now.date().addDays(days), time);
            if (candidate > thisMinute && isScheduledMinute(candidate, schedule)) {
                return u"次回 "_s + candidate.toString(u"MM/dd"_s) + u'（' +
                       weekdayKanji(candidate.date()) + u'）' + candidate.toString(u"HH:mm"_s);
            }
        }
    }
    return u"次回 なし"_s;
}

QString lastRunText(const QDateTime& at, const RunOutcome& outcome) {
    const QString when = u"前回 "_s + at.toString(u"MM/dd HH:mm"_s) + u' ';
    if (outcome.busy || !outcome.result.isEmpty() || !outcome.storageError.isEmpty()) {
        return when + u"中断"_s;
    }
    if (!outcome.failures.isEmpty()) {
        return when + u"失敗 "_s + count(outcome.failures.size()) + u" 件"_s;
    }
    return when + u"完了 "_s + count(outcome.handledFiles) + u" 件"_s;
}
