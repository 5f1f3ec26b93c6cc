#pragma once

#include <QString>
#include <optional>

#include "schedule/schedule.h"

// The schedule editor a failed check sends the user back to.
enum class ScheduleField { Hour, Minute, LogDays, TrashDays };

struct ScheduleCheckFailure {
    QString message;
    ScheduleField field;
};

// The six schedule checks in their order; the first that fails is returned.
std::optional<ScheduleCheckFailure> checkSchedule(const Schedule& schedule);

// The two log retention checks alone: a number, and 0 or more.
std::optional<ScheduleCheckFailure> checkLogDays(const QString& logDays);

// 保管日数, checked as the log retention is: a number, and 0 or more.
std::optional<ScheduleCheckFailure> checkTrashDays(const QString& trashDays);
