#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

// "yyyy/MM/dd HH:mm:ss" in local time: every field zero-padded, so text order is time order.
QString dateTimeText(const QDateTime& dateTime);

// A file time (seconds since the epoch) as that text. Always 19 characters: a time before year
// 0000 reads 0000/01/01 00:00:00 (old), a time after year 9999 reads 9999/12/31 23:59:59 (never
// old), so the text can neither grow nor shrink.
QString stampText(qint64 seconds);

// The days a retention text stands for: the leading number of the trimmed text, 0 when it has
// none. Below zero counts as 0, so a hand-edited retention never reaches into the future.
double retentionNumber(const QString& text);

// The date-time text `days` before dateTime: whole days as calendar days at the same time of
// day, a fraction as that part of 24 hours. Empty when the result leaves the four-digit years;
// nothing is older than an empty cutoff.
QString cutoffText(const QDateTime& dateTime, double days);

// Whether a file time (seconds since the epoch) is older than the cutoff, as the run decides it
// (its stampText before the cutoff text), answered from the seconds alone wherever the two are
// days apart, so that a listing can ask it of every file.
std::function<bool(qint64)> olderThan(const QString& cutoff);
