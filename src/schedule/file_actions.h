#pragma once

#include <QString>

#include "schedule/file_system.h"

// The three things a rule does to a file, built on FileSystem so that no path loses data:
// a file is never copied or moved onto itself, and a source is deleted only once its copy
// is whole.
FileResult copyTo(FileSystem& fs, const QString& source, const QString& target);
FileResult moveTo(FileSystem& fs, const QString& source, const QString& target);
FileResult deleteFile(FileSystem& fs, const QString& path);
