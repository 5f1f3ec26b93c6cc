#pragma once

#include <QString>

// True exactly when the path names an existing directory (a link to one counts).
bool FolderExists(const QString& path);
