#include "disk/trash.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "disk/checked_rename.h"
#include "disk/safe_directory.h"

using namespace Qt::StringLiterals;

namespace {

QString cannot(const QString& why) {
    return u"ごみ箱に移せません："_s + why;
}

// Another name of `name` in targetDir, which must be the file `expected`; ESTALE, and no name,
// when another file stood under `name` by then.
FileResult linkChecked(int directory, const char* name, const struct stat& expected, int targetDir,
                       const QByteArray& targetName) {
    if (::linkat(directory, name, targetDir, targetName.constData(), 0) != 0) {
        return FileResult::fromErrno(errno);
    }
    struct stat linked {};
    if (::fstatat(targetDir, targetName.constData(), &linked, AT_SYMLINK_NOFOLLOW) != 0 ||
        !sameIdentity(linked, expected)) {
        ::unlinkat(targetDir, targetName.constData(), 0);
        return FileResult::fromErrno(ESTALE);
    }
    return FileResult::success();
}

}  // namespace

QByteArray trashInfo(const QByteArray& originalPath, const QDateTime& deletedAt) {
    return "[Trash Info]\nPath=" + originalPath.toPercentEncoding("/") + "\nDeletionDate=" +
           deletedAt.toLocalTime().toString(u"yyyy-MM-ddTHH:mm:ss"_s).toLatin1() + '\n';
}

FileResult Trash::put(int directory, const char* name, const struct stat& expected,
                      const QByteArray& originalPath, const QDateTime& deletedAt,
                      TrashEntry& entry) {
    return enter(directory, name, expected, originalPath, deletedAt, false, entry);
}

FileResult Trash::keep(int directory, const char* name, const struct stat& expected,
                       const QByteArray& originalPath, const QDateTime& deletedAt,
                       TrashEntry& entry) {
    return enter(directory, name, expected, originalPath, deletedAt, true, entry);
}

void Trash::takeBack(const TrashEntry& entry) {
    const std::lock_guard lock(m_mutex);
    for (const auto& [device, place] : m_places) {
        if (place.path == entry.trash && place.problem.isEmpty()) {
            ::unlinkat(place.files.get(), entry.name.constData(), 0);
            ::unlinkat(place.info.get(), (entry.name + ".trashinfo").constData(), 0);
        }
    }
}

FileResult Trash::enter(int directory, const char* name, const struct stat& expected,
                        const QByteArray& originalPath, const QDateTime& deletedAt, bool asLink,
                        TrashEntry& entry) {
    const std::lock_guard lock(m_mutex);
    const Place* found = &placeFor(directory, expected.st_dev);
    bool lookedAgain = false;
    const QByteArray description = trashInfo(originalPath, deletedAt);
    for (int number = 1; number <= 1000; ++number) {
        if (!found->problem.isEmpty()) {
            return {ENOTSUP, cannot(found->problem)};
        }
        const Place& place = *found;
        // A name nothing in the trash has: its description is made first, and only once.
        const QByteArray trashName =
            number == 1 ? QByteArray(name) : QByteArray(name) + '_' + QByteArray::number(number);
        const QByteArray infoName = trashName + ".trashinfo";
        const UniqueFd info(::openat(place.info.get(), infoName.constData(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!info.valid()) {
            if (errno == EEXIST) {
                continue;
            }
            // The trash found before was removed whole by the user since: it is looked for, and
            // made, again, once.
            if (errno == ENOENT && !lookedAgain) {
                lookedAgain = true;
                m_places.erase(expected.st_dev);
                found = &placeFor(directory, expected.st_dev);
                --number;
                continue;
            }
            return {errno, cannot(FileResult::fromErrno(errno).reason)};
        }
        if (::write(info.get(), description.constData(), static_cast<size_t>(description.size())) !=
            description.size()) {
            const int error = errno;
            ::unlinkat(place.info.get(), infoName.constData(), 0);
            return {error, cannot(FileResult::fromErrno(error).reason)};
        }
        const FileResult moved =
            asLink ? linkChecked(directory, name, expected, place.files.get(), trashName)
                   : renameChecked(directory, name, expected, place.files.get(),
                                   trashName.constData(), false);
        if (moved.ok()) {
            entry = {place.path, trashName};
            return moved;
        }
        ::unlinkat(place.info.get(), infoName.constData(), 0);
        if (moved.error == EEXIST) {
            continue;  // a file without its description has the name
        }
        return moved.error == ESTALE ? moved : FileResult{moved.error, cannot(moved.reason)};
    }
    return {EEXIST, cannot(FileResult::fromErrno(EEXIST).reason)};
}

namespace {

// The entry's trash folder, opened the safe way, with its files/ and info/.
struct OpenedTrash {
    UniqueFd files;
    UniqueFd info;
};

FileResult openTrash(const QByteArray& path, OpenedTrash& opened) {
    const OpenedDirectory trash = openDirectorySafely(path, false);
    if (trash.status != OpenedDirectory::Status::Open) {
        return FileResult::fromErrno(trash.status == OpenedDirectory::Status::Failed ? trash.error
                                                                                     : ENOENT);
    }
    opened.files.reset(
        ::openat(trash.fd.get(), "files", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    opened.info.reset(
        ::openat(trash.fd.get(), "info", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return FileResult::fromErrno(opened.files.valid() && opened.info.valid() ? 0 : ENOENT);
}

// The entry's file, if it is still `expected`: an inode number is used again once its file is
// gone, so size and time must agree too.
FileResult checkEntry(int files, const QByteArray& name, const struct stat& expected) {
    struct stat there {};
    if (::fstatat(files, name.constData(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
        return FileResult::fromErrno(errno);
    }
    if (!sameIdentity(there, expected) || there.st_size != expected.st_size ||
        there.st_mtim.tv_sec != expected.st_mtim.tv_sec) {
        return FileResult::fromErrno(ESTALE);
    }
    return FileResult::success();
}

}  // namespace

FileResult Trash::stat(const TrashEntry& entry, struct stat& info) {
    OpenedTrash trash;
    if (const FileResult opened = openTrash(entry.trash, trash); !opened.ok()) {
        return opened;
    }
    return FileResult::fromErrno(
        ::fstatat(trash.files.get(), entry.name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0
            ? 0
            : errno);
}

FileResult Trash::restore(const TrashEntry& entry, const struct stat& expected, int targetDir,
                          const char* name) {
    OpenedTrash trash;
    FileResult result = openTrash(entry.trash, trash);
    if (result.ok()) {
        result = checkEntry(trash.files.get(), entry.name, expected);
    }
    if (result.ok()) {
        result = renameChecked(trash.files.get(), entry.name.constData(), expected, targetDir, name,
                               false);
    }
    if (result.ok()) {
        ::unlinkat(trash.info.get(), (entry.name + ".trashinfo").constData(), 0);
    }
    return result;
}

FileResult Trash::remove(const TrashEntry& entry, const struct stat& expected) {
    OpenedTrash trash;
    FileResult result = openTrash(entry.trash, trash);
    if (result.ok()) {
        result = checkEntry(trash.files.get(), entry.name, expected);
    }
    if (result.ok() && ::unlinkat(trash.files.get(), entry.name.constData(), 0) != 0) {
        result = FileResult::fromErrno(errno);
    }
    if (result.ok()) {
        ::unlinkat(trash.info.get(), (entry.name + ".trashinfo").constData(), 0);
    }
    return result;
}
