#pragma once

#include <sys/stat.h>

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "disk/file_system.h"

// The disk as a run will leave it, for a run that changes nothing: everything is read from the
// disk, and every change is kept in a model of the tree instead of being made. So each rule
// sees what the rules before it leave: a file moved or copied into its folder is there, with
// the time stamp and size it will carry, and a file deleted or moved away is gone.
class TreeModel : public FileSystem {
public:
    explicit TreeModel(FileSystem& disk) : m_disk(disk) {}

    OpenedDirectory openDirectory(const QByteArray& path, bool mayBePathOnly) override {
        return m_disk.openDirectory(path, mayBePathOnly);
    }
    FileResult statOpen(int fd, struct stat& info) override { return m_disk.statOpen(fd, info); }
    Listing listDirectory(int directory, const QString& extension,
                          const std::function<void()>& progress) override;
    void removeDeadTemporaries(int) override {}
    FileResult statAt(int directory, const char* name, struct stat& info) override;
    FileResult copyFile(int sourceDir, const char* name, const struct stat& expected,
                        int targetDir) override;
    FileResult moveAcross(int sourceDir, const char* name, const struct stat& expected,
                          int targetDir) override;
    FileResult restoreMoveClaim(int, const char*) override { return {}; }
    FileResult renameFile(int sourceDir, const char* name, int targetDir) override;
    FileResult removeFile(int directory, const char* name) override;

private:
    // A file the run puts into a directory.
    struct Placed {
        qint64 size;
        timespec mtime;
        mode_t mode;
        dev_t device;
        ino_t inode;
    };
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };
    // What the run changes in one directory. A file of the disk it takes away is known by its
    // inode, which costs less than its name and cannot be confused with a file put there later.
    struct Changes {
        std::unordered_set<ino_t> removed;
        std::unordered_map<std::string, Placed, NameHash, std::equal_to<>> placed;
    };

    // The changes made in the directory so far; `create` adds an empty record if there is none.
    Changes* changesOf(int directory, bool create);
    // Puts a file like `info` under `name` in the directory; `sameFile` keeps its identity, as a
    // rename does.
    FileResult place(int directory, const char* name, const struct stat& info, bool sameFile);

    FileSystem& m_disk;
    std::map<std::pair<dev_t, ino_t>, Changes> m_changes;
    ino_t m_nextInode = ino_t(1) << (sizeof(ino_t) * 8 - 1);  // beyond what a disk hands out
};
