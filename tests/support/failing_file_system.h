#pragma once

#include <QSet>
#include <cerrno>
#include <functional>

#include "schedule/file_system.h"

// The real file system with failures injected where the disk cannot be made to fail on cue.
class FailingFileSystem : public PosixFileSystem {
public:
    QSet<QByteArray> failCopyOf;       // names whose copy fails as a full disk would
    bool renameAcrossDevices = false;  // every rename answers as between two file systems
    int durableCopies = 0;
    std::function<void(const char* name)> beforeCheck;  // runs before each re-check

    FileResult statAt(int directory, const char* name, struct stat& info) override {
        if (beforeCheck) {
            beforeCheck(name);
        }
        return PosixFileSystem::statAt(directory, name, info);
    }

    FileResult copyFile(int sourceDir, const char* name, const struct stat& expected, int targetDir,
                        bool durable) override {
        if (failCopyOf.contains(QByteArray(name))) {
            return FileResult::fromErrno(ENOSPC);
        }
        durableCopies += durable ? 1 : 0;
        return PosixFileSystem::copyFile(sourceDir, name, expected, targetDir, durable);
    }

    FileResult renameFile(int sourceDir, const char* name, int targetDir) override {
        if (renameAcrossDevices) {
            return FileResult::fromErrno(EXDEV);
        }
        return PosixFileSystem::renameFile(sourceDir, name, targetDir);
    }
};
