#pragma once

#include <sys/stat.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "disk/file_system.h"
#include "disk/name_index.h"

// An overlay of the disk for a run that changes nothing: it shows the disk as the run will leave
// it. Everything is read from the disk beneath, and every change is kept in the overlay instead
// of being made. So each rule of a dry run sees what the rules before it leave: a file moved or
// copied into its folder is there, with the time stamp, size and owner it will carry, and a file
// deleted or moved away is gone.
//
// A million files cost the model no more than their listing: a file the run checks right after
// listing it is answered from the listing, and a name in a folder the run puts files into from
// the folder's names, read once.
class DiskOverlay : public FileSystem {
public:
    explicit DiskOverlay(FileSystem& disk) : m_disk(disk) {}

    OpenedDirectory openDirectory(const QByteArray& path, bool mayBePathOnly) override;
    FileResult statOpen(int fd, struct stat& info) override { return m_disk.statOpen(fd, info); }
    std::shared_ptr<const Listing> listDirectory(int directory, const QString& extension,
                                                 const KeepFile& keep,
                                                 const std::function<void()>& progress) override;
    DirectoryNames listNames(int directory) override;
    void removeDeadTemporaries(int) override {}
    FileResult statAt(int directory, const char* name, struct stat& info) override;
    bool mayWriteIn(int directory) override { return m_disk.mayWriteIn(directory); }
    FileResult copyFile(int sourceDir, const char* name, const struct stat& expected,
                        int targetDir) override;
    FileResult moveAcross(int sourceDir, const char* name, const struct stat& expected,
                          int targetDir) override;
    void restoreMoveClaims(int, const ClaimedNames&) override {}
    FileResult renameFile(int sourceDir, const char* name, const struct stat& expected,
                          int targetDir, bool replace) override;
    FileResult removeFile(int directory, const char* name) override;
    // The file leaves the folder as a deletion does, where the disk has a trash for it.
    FileResult trashFile(int directory, const char* name, const struct stat& expected,
                         const QByteArray&, const QDateTime&, TrashEntry&) override {
        if (const QString problem = trashProblem(directory, expected.st_dev); !problem.isEmpty()) {
            return {ENOTSUP, problem};
        }
        return removeFile(directory, name);
    }
    // What a copy or move replaces leaves the folder when it is replaced, where the disk has a
    // trash for it.
    FileResult keepInTrash(int directory, const char*, const struct stat& expected,
                           const QByteArray&, const QDateTime&, TrashEntry&) override {
        const QString problem = trashProblem(directory, expected.st_dev);
        return problem.isEmpty() ? FileResult::success() : FileResult{ENOTSUP, problem};
    }
    QString trashProblem(int directory, dev_t device) override {
        return m_disk.trashProblem(directory, device);
    }
    void takeBackFromTrash(const TrashEntry&) override {}
    FileResult statTrashed(const TrashEntry& entry, struct stat& info) override {
        return m_disk.statTrashed(entry, info);
    }
    // What would come back from the trash, as the disk shows it, arrives under `name`.
    FileResult restoreFromTrash(const TrashEntry& entry, const struct stat& expected, int targetDir,
                                const char* name) override;
    // A dry run empties nothing.
    FileResult emptyTrashed(const TrashEntry&, const struct stat&) override {
        return FileResult::success();
    }

private:
    using DirectoryKey = std::pair<dev_t, ino_t>;

    // What the run gives a file it puts into a directory. Its device is the directory's.
    struct Record {
        qint64 size;
        qint64 mtime;
        ino_t inode;
        uid_t owner;
        gid_t group;
        mode_t mode;
    };
    // A file the run puts into a directory; `present` is false once the run takes it away again.
    // A file renamed there from the listing under way is its listing entry, which the
    // directory's changes keep (a million renames cost no copy of their fields); any other has
    // a record of its own.
    struct Placed {
        uint32_t at;       // in records, or in the files of listings[listing - 1]
        uint16_t listing;  // 0: a record of its own
        bool present;
    };
    static_assert(sizeof(Placed) == 8, "a million renames cost 8 MB here");
    // What the run changes in one directory: the names of the disk's files it takes away (a
    // file with another name stays, even if it is another link to the same inode), and the
    // files it puts there, which stand over the disk's.
    struct Changes {
        NameIndex removed;
        NameIndex placedNames;
        std::vector<Placed> placed;  // by the index of the name in placedNames
        std::vector<Record> records;
        std::optional<NameIndex> onDisk;  // the disk's names, once read
        // The listings whose names the name tables point into, rather than copy them.
        std::vector<std::shared_ptr<const Listing>> listings;

        const Placed* placedAs(std::string_view name) const;
        // The file as a listing of the directory on `device` shows it.
        ListedFile as(const Placed& placed, dev_t device, size_t nameOffset, size_t nameSize) const;
    };

    // The directory's device and inode; false when it cannot be told.
    bool keyOf(int directory, DirectoryKey& key);
    Changes* changesOf(const DirectoryKey& key, bool create);
    // Puts a file like `info` under `name` in the directory; `sameFile` keeps its inode, as a
    // rename does.
    FileResult place(int directory, const char* name, const struct stat& info, bool sameFile,
                     bool replace = true);
    // statAt, answering ESTALE unless the file is still the regular file `expected`, as a copy
    // finds it when it opens it.
    FileResult statExpected(int directory, const char* name, const struct stat& expected,
                            struct stat& info);
    // Takes away `name`, which statAt found.
    FileResult remove(int directory, const char* name);
    // How many files of the listing under way the run has not checked yet.
    size_t remainingListed() const;
    // Grows the table once for the rest of the listing under way, not again and again.
    void makeRoom(NameIndex& names) const;
    // Whether `name` lies in the listing under way; if so, `changes` keeps that listing, so
    // their tables may point to the name instead of copying it.
    bool keepsName(Changes& changes, const char* name) const;
    // Keeps the listing under way with `changes`; false when there is none.
    bool keepsListing(Changes& changes) const;
    // The entry of the listing under way that the last stat came from, where `info` is exactly
    // it: the file a rename takes there brings what that entry holds. Null otherwise.
    const ListedFile* listedEntry(const struct stat& info) const;
    void remember(int directory, const char* name, const struct stat& info,
                  const ListedFile* listed = nullptr);
    void forget() {
        m_lastStat.directory = -1;
        m_lastStat.listed = nullptr;
    }

    FileSystem& m_disk;
    std::map<DirectoryKey, Changes> m_changes;
    // The directories the run opened, by descriptor: a run works only in those, and asking the
    // disk for each file's directory again would cost as much as the file itself.
    std::unordered_map<int, DirectoryKey> m_opened;
    // The last listing handed out, and how far the run has checked its files, in its order.
    struct {
        DirectoryKey directory;
        std::shared_ptr<const Listing> listing;
        size_t next = 0;
    } m_listed;
    // The last file statAt found, as the run checks a file and then acts on it at once.
    struct {
        int directory = -1;
        std::string name;
        struct stat info {};
        const ListedFile* listed = nullptr;  // the listing's entry it was read from, if any
    } m_lastStat;
    ino_t m_nextInode = ino_t(1) << (sizeof(ino_t) * 8 - 1);  // beyond what a disk hands out
};
