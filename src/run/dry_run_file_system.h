#pragma once

#include "disk/file_system.h"

// The disk as a run that changes nothing sees it: everything is read as it stands, and every
// change answers as done without touching anything.
class DryRunFileSystem : public FileSystem {
public:
    explicit DryRunFileSystem(FileSystem& disk) : m_disk(disk) {}

    OpenedDirectory openDirectory(const QByteArray& path, bool mayBePathOnly) override {
        return m_disk.openDirectory(path, mayBePathOnly);
    }
    FileResult statOpen(int fd, struct stat& info) override { return m_disk.statOpen(fd, info); }
    Listing listDirectory(int directory, const QString& extension,
                          const std::function<void()>& progress) override {
        return m_disk.listDirectory(directory, extension, progress);
    }
    FileResult statAt(int directory, const char* name, struct stat& info) override {
        return m_disk.statAt(directory, name, info);
    }
    void removeDeadTemporaries(int) override {}
    FileResult copyFile(int, const char*, const struct stat&, int) override { return {}; }
    FileResult moveAcross(int, const char*, const struct stat&, int) override { return {}; }
    FileResult restoreMoveClaim(int, const char*) override { return {}; }
    FileResult renameFile(int, const char*, int) override { return {}; }
    FileResult removeFile(int, const char*) override { return {}; }

private:
    FileSystem& m_disk;
};
