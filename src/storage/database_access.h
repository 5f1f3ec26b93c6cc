#pragma once

#include <QString>
#include <optional>

#include "storage/module_values.h"

// Why a run could not write the database, as the user reads it: "データベース <path> に
// 書き込めません（<reason>）"; nothing when it can. Looks before anything is opened, so a refused
// run leaves no file behind. A journal file that a read-only open left without write permission
// is given the database's own again, so it cannot keep failing runs once the database is
// writable.
std::optional<QString> unwritableDatabase(const ModuleValues& values);

// How a program is about to use the database: to read it, or to write it as a run does.
enum class DatabaseUse { Read, Write };

// Why the database may not be used so, as the user reads it; nothing when it may. Never one
// another user could change (untrustedDatabase); to write, never one this process cannot write
// (unwritableDatabase). Called before anything opens the database: a planted journal must not
// be read, and a refused run must leave no journal file behind.
std::optional<QString> refusedDatabase(const ModuleValues& values, DatabaseUse use);

// "データベース <path> に書き込めません（<reason of errno>）"
QString unwritableMessage(const QString& path, int error);

// The values for reading the database without creating or changing any file: read-only, and
// where no journal files exist yet, without the shared memory a WAL reader would create.
ModuleValues readOnlyValues(const ModuleValues& values);

// "データベース <path> がありません": what a run that may create nothing says of a missing file.
QString missingDatabaseMessage(const QString& path);
