#pragma once

#include <QString>

#include "schedule/file_system.h"

// The three things a rule does to a file, built on FileSystem so that no path loses data: a
// source is deleted only once its copy is whole. The caller makes sure the target directory is
// not the source directory reached another way; a target that is merely another hard link of
// the source loses nothing (a rename leaves both, a copy replaces the link).
FileResult copyTo(FileSystem& fs, const QString& source, const QString& target);
FileResult moveTo(FileSystem& fs, const QString& source, const QString& target);
FileResult deleteFile(FileSystem& fs, const QString& path);
