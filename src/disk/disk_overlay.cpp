#include "disk/disk_overlay.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace {

void fill(struct stat& info, const ListedFile& file) {
    info = {};
    info.st_dev = file.device;
    info.st_ino = file.inode;
    info.st_mode = file.mode;
    info.st_uid = file.owner;
    info.st_gid = file.group;
    info.st_nlink = 1;
    info.st_size = file.size;
    info.st_mtim.tv_sec = file.mtime;
}

}  // namespace

OpenedDirectory DiskOverlay::openDirectory(const QByteArray& path, bool mayBePathOnly) {
    OpenedDirectory opened = m_disk.openDirectory(path, mayBePathOnly);
    forget();
    struct stat info {};
    if (opened.status == OpenedDirectory::Status::Open &&
        m_disk.statOpen(opened.fd.get(), info).ok()) {
        m_opened[opened.fd.get()] = {info.st_dev, info.st_ino};  // a reused number is replaced
    }
    return opened;
}

bool DiskOverlay::keyOf(int directory, DirectoryKey& key) {
    if (const auto found = m_opened.find(directory); found != m_opened.end()) {
        key = found->second;
        return true;
    }
    struct stat info {};
    if (!m_disk.statOpen(directory, info).ok()) {
        return false;
    }
    key = {info.st_dev, info.st_ino};
    return true;
}

DiskOverlay::Changes* DiskOverlay::changesOf(const DirectoryKey& key, bool create) {
    if (create) {
        return &m_changes[key];
    }
    const auto found = m_changes.find(key);
    return found == m_changes.end() ? nullptr : &found->second;
}

std::shared_ptr<const Listing> DiskOverlay::listDirectory(int directory, const QString& extension,
                                                          const KeepFile& keep,
                                                          const std::function<void()>& progress) {
    std::shared_ptr<const Listing> listing =
        m_disk.listDirectory(directory, extension, keep, progress);
    forget();
    DirectoryKey key;
    if (listing->error != 0 || !keyOf(directory, key)) {
        return listing;
    }
    if (const Changes* changes = changesOf(key, false)) {
        auto changed = std::make_shared<Listing>(*listing);
        std::erase_if(changed->files, [&](const ListedFile& file) {
            return changes->removed.find(changed->nameView(file)) != NameIndex::kNone ||
                   changes->placedAs(changed->nameView(file)) != nullptr;
        });
        const QByteArray suffix = listedSuffix(extension);
        for (size_t index = 0; index < changes->placed.size(); ++index) {
            const Placed& placed = changes->placed[index];
            const std::string_view name = changes->placedNames.name(index);
            const ListedFile file =
                changes->as(placed, key.first, changed->names.size(), name.size());
            if (placed.present && hasListedSuffix(name, suffix) && (!keep || keep(file.mtime))) {
                // Refused as the disk's own lister refuses a folder whose names pass 4 GiB,
                // rather than wrapping the 32-bit places of the names.
                if (changed->names.size() + name.size() + 1 >
                    std::numeric_limits<uint32_t>::max()) {
                    return std::make_shared<const Listing>(Listing{{}, {}, ENOMEM});
                }
                changed->files.push_back(file);
                changed->names.insert(changed->names.end(), name.begin(), name.end());
                changed->names.push_back('\0');
            }
        }
        sortListing(*changed);
        listing = std::move(changed);
    }
    m_listed.directory = key;
    m_listed.listing = listing;
    m_listed.next = 0;
    return listing;
}

DirectoryNames DiskOverlay::listNames(int directory) {
    DirectoryNames read = m_disk.listNames(directory);
    DirectoryKey key;
    const Changes* changes = keyOf(directory, key) ? changesOf(key, false) : nullptr;
    if (read.error != 0 || changes == nullptr) {
        return read;
    }
    std::erase_if(read.names, [&](const std::string& name) {
        struct stat info {};
        return !statAt(directory, name.c_str(), info).ok();
    });
    for (size_t index = 0; index < changes->placed.size(); ++index) {
        const std::string_view name = changes->placedNames.name(index);
        if (changes->placed[index].present &&
            !std::binary_search(read.names.begin(), read.names.end(), name)) {
            read.names.emplace_back(name);
        }
    }
    std::sort(read.names.begin(), read.names.end());
    return read;
}

void DiskOverlay::remember(int directory, const char* name, const struct stat& info,
                           const ListedFile* listed) {
    m_lastStat.directory = directory;
    m_lastStat.name = name;
    m_lastStat.info = info;
    m_lastStat.listed = listed;
}

FileResult DiskOverlay::statAt(int directory, const char* name, struct stat& info) {
    if (m_lastStat.directory == directory && m_lastStat.name == name) {
        info = m_lastStat.info;
        return FileResult::success();
    }
    DirectoryKey key;
    if (!keyOf(directory, key)) {
        return m_disk.statAt(directory, name, info);
    }
    // The run checks the files of a listing in its order, right after listing them.
    if (const Listing* listed = m_listed.listing.get();
        listed != nullptr && m_listed.directory == key && m_listed.next < listed->files.size() &&
        std::strcmp(listed->name(listed->files[m_listed.next]), name) == 0) {
        const ListedFile& file = listed->files[m_listed.next++];
        fill(info, file);
        remember(directory, name, info, &file);
        return FileResult::success();
    }
    const Changes* changes = changesOf(key, false);
    if (changes != nullptr) {
        if (const Placed* placed = changes->placedAs(name)) {
            fill(info, changes->as(*placed, key.first, 0, 0));
            remember(directory, name, info);
            return FileResult::success();
        }
        if (changes->removed.find(name) != NameIndex::kNone ||
            (changes->onDisk && changes->onDisk->find(name) == NameIndex::kNone)) {
            return FileResult::fromErrno(ENOENT);
        }
    }
    const FileResult result = m_disk.statAt(directory, name, info);
    if (result.ok()) {
        remember(directory, name, info);
    }
    return result;
}

FileResult DiskOverlay::place(int directory, const char* name, const struct stat& info,
                              bool sameFile, bool replace) {
    DirectoryKey key;
    if (!keyOf(directory, key)) {
        return FileResult::fromErrno(EBADF);
    }
    Changes& changes = *changesOf(key, true);
    const ListedFile* listedSource = sameFile ? listedEntry(info) : nullptr;
    if (!changes.onDisk) {
        // Read once, the folder's names answer for every file put into it.
        if (const DirectoryNames read = m_disk.listNames(directory); read.error == 0) {
            NameIndex& names = changes.onDisk.emplace();
            for (const std::string& name : read.names) {
                names.insert(name);
            }
        }
    }
    struct stat there {};
    const bool taken = statAt(directory, name, there).ok();
    if (taken && !replace) {
        return FileResult::fromErrno(EEXIST);
    }
    if (taken && S_ISDIR(there.st_mode)) {
        return FileResult::fromErrno(EISDIR);  // what renaming a file over a folder answers
    }
    forget();
    Placed placed{0, 0, true};
    if (listedSource != nullptr && keepsListing(changes)) {
        placed.at = static_cast<uint32_t>(listedSource - changes.listings.back()->files.data());
        placed.listing = static_cast<uint16_t>(changes.listings.size());
    } else {
        // A copy belongs to the running user unless the run may keep the source's owner (root).
        placed.at = static_cast<uint32_t>(changes.records.size());
        changes.records.push_back(
            {info.st_size, info.st_mtim.tv_sec, sameFile ? info.st_ino : m_nextInode++,
             sameFile || ::geteuid() == 0 ? info.st_uid : ::geteuid(), info.st_gid, info.st_mode});
    }
    makeRoom(changes.placedNames);
    if (changes.placed.size() == changes.placed.capacity()) {
        // Made to size once for the rest of the listing: a vector that doubles holds both its
        // old and its new storage for a moment, a million files' worth.
        changes.placed.reserve(
            std::max(changes.placed.size() * 2, changes.placed.size() + remainingListed() + 1));
    }
    if (const auto [index, added] = changes.placedNames.insert(name, keepsName(changes, name));
        added) {
        changes.placed.push_back(placed);
    } else {
        changes.placed[index] = placed;  // what the run put there before is replaced
    }
    if (taken) {
        makeRoom(changes.removed);
        changes.removed.insert(name, keepsName(changes, name));  // the disk's file there goes
    }
    return FileResult::success();
}

FileResult DiskOverlay::statExpected(int directory, const char* name, const struct stat& expected,
                                     struct stat& info) {
    FileResult result = statAt(directory, name, info);
    if (result.ok() && (!S_ISREG(info.st_mode) || !sameIdentity(info, expected))) {
        result = FileResult::fromErrno(ESTALE);
    }
    return result;
}

FileResult DiskOverlay::copyFile(int sourceDir, const char* name, const struct stat& expected,
                                 int targetDir) {
    struct stat info {};
    const FileResult result = statExpected(sourceDir, name, expected, info);
    return result.ok() ? place(targetDir, name, info, false) : result;
}

FileResult DiskOverlay::moveAcross(int sourceDir, const char* name, const struct stat& expected,
                                   int targetDir) {
    struct stat info {};
    const FileResult result = statExpected(sourceDir, name, expected, info);
    return result.ok() ? renameFile(sourceDir, name, expected, targetDir, true) : result;
}

FileResult DiskOverlay::renameFile(int sourceDir, const char* name, const struct stat& expected,
                                   int targetDir, bool replace) {
    struct stat info {};
    FileResult result = statExpected(sourceDir, name, expected, info);
    if (result.ok()) {
        result = place(targetDir, name, info, true, replace);
    }
    return result.ok() ? remove(sourceDir, name) : result;
}

FileResult DiskOverlay::restoreFromTrash(const TrashEntry& entry, const struct stat& expected,
                                         int targetDir, const char* name) {
    struct stat there {};
    if (const FileResult found = m_disk.statTrashed(entry, there); !found.ok()) {
        return found;
    }
    if (!sameIdentity(there, expected) || there.st_size != expected.st_size ||
        there.st_mtim.tv_sec != expected.st_mtim.tv_sec) {
        return FileResult::fromErrno(ESTALE);
    }
    // It arrives as it lies in the trash, so that what comes after it (a move of the same file
    // back to where a chain took it from) finds it there.
    return place(targetDir, name, there, true, false);
}

FileResult DiskOverlay::removeFile(int directory, const char* name) {
    struct stat info {};
    const FileResult result = statAt(directory, name, info);
    return result.ok() ? remove(directory, name) : result;
}

FileResult DiskOverlay::remove(int directory, const char* name) {
    DirectoryKey key;
    if (!keyOf(directory, key)) {
        return FileResult::fromErrno(EBADF);
    }
    forget();
    Changes& changes = *changesOf(key, true);
    if (const size_t index = changes.placedNames.find(name);
        index != NameIndex::kNone && changes.placed[index].present) {
        changes.placed[index].present = false;  // what stood there before is already taken away
    } else {
        makeRoom(changes.removed);
        changes.removed.insert(name, keepsName(changes, name));
    }
    return FileResult::success();
}
