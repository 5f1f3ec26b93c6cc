#pragma once

#include <optional>

#include "schedule/schedule.h"
#include "storage/module_values.h"

// The stored schedule, each field trimmed; nothing when day_set has no row.
// Throws StorageError.
std::optional<Schedule> readStoredSchedule(const ModuleValues& values);

// 保管日数 as stored, "0" where none is. Throws StorageError.
QString readTrashDays(const ModuleValues& values);
void writeTrashDays(const ModuleValues& values, const QString& days);

// Replaces the stored schedule: the delete and the insert run in one transaction, so a
// failure never leaves the table without its row. Throws StorageError.
void writeSchedule(const ModuleValues& values, const Schedule& schedule);
