#pragma once

#include <sys/stat.h>
#include <QString>
#include <optional>

// Why the database at `path` cannot be trusted, as the user reads it: "データベース <path> は
// 他のユーザーが書き換えられる場所にあります（<reason>）"; nothing when it can. Another user who
// may write the folder, or who owns the file or a journal beside it, could put rules of their
// own into it, or make the run wait for ever on something that is not a file. Looks only: no
// file is opened, so nothing can block.
std::optional<QString> untrustedDatabase(const QString& path);

// The same message, for one file beside the database that was found, once opened, to be a file
// another user holds (`info` from fstat), or nothing when it is fine.
std::optional<QString> untrustedCompanion(const QString& databasePath, const QString& file,
                                          const struct stat& info);
