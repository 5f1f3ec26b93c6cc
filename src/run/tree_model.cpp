#include "run/tree_model.h"

#include <cerrno>

TreeModel::Changes* TreeModel::changesOf(int directory, bool create) {
    struct stat info {};
    if (!m_disk.statOpen(directory, info).ok()) {
        return nullptr;
    }
    const std::pair<dev_t, ino_t> key{info.st_dev, info.st_ino};
    if (create) {
        return &m_changes[key];
    }
    const auto found = m_changes.find(key);
    return found == m_changes.end() ? nullptr : &found->second;
}

Listing TreeModel::listDirectory(int directory, const QString& extension,
                                 const std::function<void()>& progress) {
    Listing listing = m_disk.listDirectory(directory, extension, progress);
    const Changes* changes = changesOf(directory, false);
    if (listing.error != 0 || changes == nullptr) {
        return listing;
    }
    std::erase_if(listing.files, [&](const ListedFile& file) {
        return changes->removed.contains(file.inode) ||
               changes->placed.contains(listing.nameView(file));
    });
    const QByteArray suffix = listedSuffix(extension);
    for (const auto& [name, placed] : changes->placed) {
        if (hasListedSuffix(name, suffix)) {
            listing.files.push_back({placed.mtime.tv_sec, placed.device, placed.inode,
                                     listing.names.size(), name.size()});
            listing.names.insert(listing.names.end(), name.begin(), name.end());
            listing.names.push_back('\0');
        }
    }
    sortListing(listing);
    return listing;
}

FileResult TreeModel::statAt(int directory, const char* name, struct stat& info) {
    const Changes* changes = changesOf(directory, false);
    if (changes != nullptr) {
        if (const auto found = changes->placed.find(std::string_view(name));
            found != changes->placed.end()) {
            const Placed& placed = found->second;
            info = {};
            info.st_dev = placed.device;
            info.st_ino = placed.inode;
            info.st_mode = placed.mode;
            info.st_nlink = 1;
            info.st_size = placed.size;
            info.st_mtim = placed.mtime;
            return FileResult::success();
        }
    }
    const FileResult result = m_disk.statAt(directory, name, info);
    if (result.ok() && changes != nullptr && changes->removed.contains(info.st_ino)) {
        return FileResult::fromErrno(ENOENT);
    }
    return result;
}

FileResult TreeModel::place(int directory, const char* name, const struct stat& info,
                            bool sameFile) {
    struct stat there {};
    const bool taken = statAt(directory, name, there).ok();
    if (taken && S_ISDIR(there.st_mode)) {
        return FileResult::fromErrno(EISDIR);  // what renaming a file over a folder answers
    }
    Changes* changes = changesOf(directory, true);
    struct stat folder {};
    if (changes == nullptr || !m_disk.statOpen(directory, folder).ok()) {
        return FileResult::fromErrno(EBADF);
    }
    if (taken) {
        changes->removed.insert(there.st_ino);  // replaced; a placed file is simply overwritten
    }
    changes->placed.insert_or_assign(
        std::string(name),
        Placed{info.st_size, info.st_mtim, info.st_mode, sameFile ? info.st_dev : folder.st_dev,
               sameFile ? info.st_ino : m_nextInode++});
    return FileResult::success();
}

FileResult TreeModel::copyFile(int sourceDir, const char* name, const struct stat& expected,
                               int targetDir) {
    struct stat info {};
    if (const FileResult result = statAt(sourceDir, name, info); !result.ok()) {
        return result;
    }
    if (!S_ISREG(info.st_mode) || !sameIdentity(info, expected)) {
        return FileResult::fromErrno(ESTALE);
    }
    return place(targetDir, name, info, false);
}

FileResult TreeModel::moveAcross(int sourceDir, const char* name, const struct stat& expected,
                                 int targetDir) {
    struct stat info {};
    if (const FileResult result = statAt(sourceDir, name, info); !result.ok()) {
        return result;
    }
    if (!S_ISREG(info.st_mode) || !sameIdentity(info, expected)) {
        return FileResult::fromErrno(ESTALE);
    }
    return renameFile(sourceDir, name, targetDir);
}

FileResult TreeModel::renameFile(int sourceDir, const char* name, int targetDir) {
    struct stat info {};
    FileResult result = statAt(sourceDir, name, info);
    if (result.ok()) {
        result = place(targetDir, name, info, true);
    }
    return result.ok() ? removeFile(sourceDir, name) : result;
}

FileResult TreeModel::removeFile(int directory, const char* name) {
    Changes* changes = changesOf(directory, true);
    if (changes == nullptr) {
        return FileResult::fromErrno(EBADF);
    }
    if (const auto found = changes->placed.find(std::string_view(name));
        found != changes->placed.end()) {
        changes->placed.erase(found);
        return FileResult::success();
    }
    struct stat info {};
    const FileResult result = m_disk.statAt(directory, name, info);
    if (result.ok()) {
        if (changes->removed.contains(info.st_ino)) {
            return FileResult::fromErrno(ENOENT);
        }
        changes->removed.insert(info.st_ino);
    }
    return result;
}
