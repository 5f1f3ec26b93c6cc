#pragma once

#include <QString>
#include <QStringList>

struct Listing {
    // "yyyy/MM/dd HH:mm:ss name": the modification time in local time, one separator, the
    // name. Oldest first; equal stamps by name.
    QStringList entries;
    QString error;  // why the directory could not be read; empty when it could
};

// The directory's regular files whose name ends in ".<extension>", the extension compared
// without regard to ASCII letter case. Directories and symbolic links are never listed, and
// subdirectories are not entered.
Listing ReadDir(const QString& directory, const QString& extension);
