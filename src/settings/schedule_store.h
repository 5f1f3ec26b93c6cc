#pragma once

#include <optional>

#include "settings/schedule.h"
#include "storage/module_values.h"

// The stored schedule, each field trimmed; nothing when day_set has no row.
// Throws StorageError.
std::optional<Schedule> readStoredSchedule(const ModuleValues& values);
