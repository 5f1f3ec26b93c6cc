#pragma once

#include <QSet>
#include <cerrno>

#include "schedule/file_system.h"

// The real file system with failures injected where the disk cannot be made to fail on cue.
class FailingFileSystem : public PosixFileSystem {
public:
    QSet<QString> failCopyOf;          // sources whose copy fails as a full disk would
    bool renameAcrossDevices = false;  // every rename answers as between two file systems
    int durableCopies = 0;

    FileResult copyFile(const QString& source, const QString& target, bool durable) override {
        if (failCopyOf.contains(source)) {
            return FileResult::fromErrno(ENOSPC);
        }
        durableCopies += durable ? 1 : 0;
        return PosixFileSystem::copyFile(source, target, durable);
    }

    FileResult renameFile(const QString& source, const QString& target) override {
        if (renameAcrossDevices) {
            return FileResult::fromErrno(EXDEV);
        }
        return PosixFileSystem::renameFile(source, target);
    }
};
