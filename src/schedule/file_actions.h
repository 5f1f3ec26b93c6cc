#pragma once

#include <QString>

#include "schedule/file_system.h"

// Moves a file: a rename, or across file systems a durable copy after which the source is
// deleted, never before. The caller makes sure the target directory is not the source
// directory reached another way; a target that is merely another hard link of the source loses
// nothing (the rename leaves both names).
FileResult moveTo(FileSystem& fs, const QString& source, const QString& target);
