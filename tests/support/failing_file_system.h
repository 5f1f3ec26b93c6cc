#pragma once

#include <QSet>
#include <cerrno>
#include <functional>

#include "disk/file_system.h"

// The real file system with failures injected where the disk cannot be made to fail on cue.
class FailingFileSystem : public PosixFileSystem {
public:
    QSet<QByteArray> failCopyOf;       // names whose copy fails as a full disk would
    bool renameAcrossDevices = false;  // every rename answers as between two file systems
    int movesAcross = 0;
    std::function<void(const char* name)> beforeCheck;    // runs before each re-check
    std::function<void()> beforeListing;                  // runs before each listing
    std::function<void(const char* name)> afterMoveCopy;  // once a move's copy is written
    std::function<void(const char* name)> beforeRename;   // after the re-check, before a rename

    FileResult statAt(int directory, const char* name, struct stat& info) override {
        if (beforeCheck) {
            beforeCheck(name);
        }
        return PosixFileSystem::statAt(directory, name, info);
    }

    std::shared_ptr<const Listing> listDirectory(int directory, const QString& extension,
                                                 const KeepFile& keep,
                                                 const std::function<void()>& progress) override {
        if (beforeListing) {
            beforeListing();
        }
        return PosixFileSystem::listDirectory(directory, extension, keep, progress);
    }

    FileResult copyFile(int sourceDir, const char* name, const struct stat& expected,
                        int targetDir) override {
        if (failCopyOf.contains(QByteArray(name))) {
            return FileResult::fromErrno(ENOSPC);
        }
        return PosixFileSystem::copyFile(sourceDir, name, expected, targetDir);
    }

    FileResult moveAcross(int sourceDir, const char* name, const struct stat& expected,
                          int targetDir) override {
        if (failCopyOf.contains(QByteArray(name))) {
            return FileResult::fromErrno(ENOSPC);
        }
        ++movesAcross;
        return PosixFileSystem::moveAcross(sourceDir, name, expected, targetDir);
    }

    FileResult renameFile(int sourceDir, const char* name, const struct stat& expected,
                          int targetDir, bool replace) override {
        if (renameAcrossDevices) {
            return FileResult::fromErrno(EXDEV);
        }
        if (beforeRename) {
            beforeRename(name);
        }
        return PosixFileSystem::renameFile(sourceDir, name, expected, targetDir, replace);
    }

protected:
    void moveCopied(const char* name) override {
        if (afterMoveCopy) {
            afterMoveCopy(name);
        }
    }
};
