#pragma once

#include <QString>

// The single row of day_set: when the run starts and how long the run log is kept.
struct Schedule {
    QString weekdays;  // 曜日: the chosen days' kanji, Monday first (月水金)
    QString hour;      // 実行時
    QString minute;    // 実行分
    QString logDays;   // ログ残存日数, as typed
};
