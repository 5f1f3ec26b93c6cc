#pragma once

// What the disk tests look at: a folder opened as the run opens it, an entry's status, and the
// names a folder holds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include "disk/unique_fd.h"

inline UniqueFd openDir(const QString& path) {
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    EXPECT_TRUE(fd.valid()) << path.toStdString();
    return fd;
}

inline struct stat statOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info;
}

// Every file of the folder, hidden ones included, by name.
inline QStringList names(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}
