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

// `name` in `parent` as a folder of the user's own and no link, made (0700) where missing;
// invalid, with the reason in `problem`, otherwise.
UniqueFd ownFolder(int parent, const QByteArray& name, QString& problem) {
    if (::mkdirat(parent, name.constData(), 0700) != 0 && errno != EEXIST) {
        problem = QFile::decodeName(name) + u" を作れません（"_s +
                  FileResult::fromErrno(errno).reason + u"）"_s;
        return {};
    }
    UniqueFd fd(
        ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || info.st_uid != ::geteuid()) {
        problem = QFile::decodeName(name) + u" が自分のフォルダではありません"_s;
        return {};
    }
    return fd;
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

// As ownFolder, but makes nothing: the problem a folder `name` in `parent` has, empty where it
// is a folder of the user's own (held in `fd`) or could be made one.
QString folderProblem(int parent, const QByteArray& name, UniqueFd& fd) {
    fd.reset(::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid() && errno == ENOENT) {
        if (::faccessat(parent, ".", W_OK | X_OK, AT_EACCESS) == 0) {
            return {};
        }
        return QFile::decodeName(name) + u" を作れません（"_s +
               FileResult::fromErrno(errno).reason + u"）"_s;
    }
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || info.st_uid != ::geteuid()) {
        return QFile::decodeName(name) + u" が自分のフォルダではありません"_s;
    }
    return {};
}

// The same for a trash folder and its files/ and info/.
QString trashProblem(int parent, const QByteArray& name) {
    UniqueFd trash;
    QString problem = folderProblem(parent, name, trash);
    for (const char* inside : {"files", "info"}) {
        UniqueFd folder;
        if (problem.isEmpty() && trash.valid()) {
            problem = folderProblem(trash.get(), inside, folder);
        }
    }
    return problem;
}

// The top of the file system of `directory` (on `device`), found by going up from it.
UniqueFd topOf(int directory, dev_t device) {
    UniqueFd top(::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat here {};
    for (;;) {
        UniqueFd up(::openat(top.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat above {};
        if (!up.valid() || ::fstat(top.get(), &here) != 0 || ::fstat(up.get(), &above) != 0 ||
            above.st_dev != device || sameIdentity(above, here)) {
            return top;
        }
        top = std::move(up);
    }
}

bool isSticky(int fd) {
    struct stat info {};
    return fd >= 0 && ::fstat(fd, &info) == 0 && (info.st_mode & S_ISVTX) != 0;
}

QByteArray pathOf(int fd) {
    QByteArray path(4096, '\0');
    const ssize_t size = ::readlink(("/proc/self/fd/" + QByteArray::number(fd)).constData(),
                                    path.data(), static_cast<size_t>(path.size()));
    return size < 0 ? QByteArray() : path.left(size);
}

}  // namespace

QByteArray trashInfo(const QByteArray& originalPath, const QDateTime& deletedAt) {
    return "[Trash Info]\nPath=" + originalPath.toPercentEncoding("/") + "\nDeletionDate=" +
           deletedAt.toLocalTime().toString(u"yyyy-MM-ddTHH:mm:ss"_s).toLatin1() + '\n';
}

Trash::Trash(QByteArray home) : m_home(std::move(home)) {
    if (m_home.isEmpty()) {
        QByteArray data = qgetenv("XDG_DATA_HOME");
        if (!data.startsWith('/')) {  // unset or relative: as the XDG rules say
            data = qgetenv("HOME") + "/.local/share";
        }
        m_home = data + "/Trash";
    }
}

const Trash::Place& Trash::placeFor(int directory, dev_t device) {
    // A trash found before serves as long as it stands: one emptied away by the user, or one
    // that could not be used, is looked for again, so a window that runs for months never
    // keeps a stale answer.
    if (const auto found = m_places.find(device); found != m_places.end()) {
        struct stat files {};
        struct stat info {};
        if (found->second.problem.isEmpty() && ::fstat(found->second.files.get(), &files) == 0 &&
            ::fstat(found->second.info.get(), &info) == 0 && files.st_nlink > 0 &&
            info.st_nlink > 0) {
            return found->second;
        }
    }
    Place& place = m_places[device];
    place = Place{};
    const auto usable = [&place](UniqueFd trash) {
        QString problem;
        place.files = ownFolder(trash.get(), "files", problem);
        place.info = ownFolder(trash.get(), "info", problem);
        if (!place.files.valid() || !place.info.valid()) {
            place.problem = problem;
            return false;
        }
        place.path = pathOf(trash.get());
        place.problem.clear();
        return true;
    };
    // The home trash, where it shares the file's file system.
    const qsizetype slash = m_home.lastIndexOf('/');
    const QByteArray dataHome = m_home.left(std::max<qsizetype>(slash, 1));
    struct stat home {};
    if (::stat(dataHome.constData(), &home) == 0 && home.st_dev == device) {
        const UniqueFd data(::open(dataHome.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        UniqueFd trash = ownFolder(data.get(), m_home.mid(slash + 1), place.problem);
        if (trash.valid()) {
            usable(std::move(trash));
        }
        return place;
    }
    // Else the top of the file's file system.
    const UniqueFd top = topOf(directory, device);
    if (!top.valid()) {
        place.problem = u"ファイルシステムの最上位に届きません"_s;
        return place;
    }
    const QByteArray uid = QByteArray::number(::geteuid());
    // $topdir/.Trash, shared by every user, only if it is a sticky folder and no link.
    const UniqueFd shared(
        ::openat(top.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (isSticky(shared.get())) {
        UniqueFd mine = ownFolder(shared.get(), uid, place.problem);
        if (mine.valid() && usable(std::move(mine))) {
            return place;
        }
    }
    UniqueFd own = ownFolder(top.get(), ".Trash-" + uid, place.problem);
    if (own.valid()) {
        usable(std::move(own));
    }
    return place;
}

QString Trash::problemFor(int directory, dev_t device) {
    const std::lock_guard lock(m_mutex);
    if (const auto found = m_places.find(device);
        found != m_places.end() && found->second.problem.isEmpty()) {
        return {};
    }
    const qsizetype slash = m_home.lastIndexOf('/');
    const QByteArray dataHome = m_home.left(std::max<qsizetype>(slash, 1));
    struct stat home {};
    if (::stat(dataHome.constData(), &home) == 0 && home.st_dev == device) {
        const UniqueFd data(::open(dataHome.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return trashProblem(data.get(), m_home.mid(slash + 1));
    }
    const UniqueFd top = topOf(directory, device);
    if (!top.valid()) {
        return u"ファイルシステムの最上位に届きません"_s;
    }
    const QByteArray uid = QByteArray::number(::geteuid());
    const UniqueFd shared(
        ::openat(top.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (isSticky(shared.get()) && trashProblem(shared.get(), uid).isEmpty()) {
        return {};
    }
    return trashProblem(top.get(), ".Trash-" + uid);
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
    const Place& place = placeFor(directory, expected.st_dev);
    if (!place.problem.isEmpty()) {
        return {ENOTSUP, cannot(place.problem)};
    }
    const QByteArray description = trashInfo(originalPath, deletedAt);
    for (int number = 1; number <= 1000; ++number) {
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
