// Where the trash of a file's file system is, found, made where needed, or only looked for.
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "disk/trash.h"

using namespace Qt::StringLiterals;

namespace {

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
    // A trash found before serves again; one that could not be used is looked for again, so a
    // window that runs for months never keeps a stale answer (see forget for one removed).
    if (const auto found = m_places.find(device);
        found != m_places.end() && found->second.problem.isEmpty()) {
        return found->second;
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
