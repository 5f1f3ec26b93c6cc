#pragma once

#include <QString>
#include <optional>

#include "disk/file_system.h"

class Connection;

// 保管日数 as stored (Settings::kTrashDays): the days, 0 where none is stored. Nothing when the
// stored text is no plain number of 0 or more, with the user's message in `problem`: read
// loosely it could be 0, and every file the rules delete would be gone for good.
std::optional<double> storedTrashDays(Connection& connection, QString& problem);

// Empties from the trash what runs put there before `cutoff` (a 処理日時 text), each entry only
// while it is still the file a run put there, and forgets what is emptied or gone.
void emptyOldTrash(Connection& connection, FileSystem& fs, const QString& cutoff);
