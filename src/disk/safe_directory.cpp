#include "disk/safe_directory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows

// A step from `from` into `to` that someone who is neither root nor the running user could
// have arranged to lead into what is not theirs.
bool unsafeStep(const struct stat& from, const struct stat& to) {
    return from.st_uid != 0 && from.st_uid != ::geteuid() && to.st_uid != from.st_uid;
}

OpenedDirectory ended(OpenedDirectory::Status status, int error = 0) {
    OpenedDirectory result;
    result.status = status;
    result.error = error;
    return result;
}

}  // namespace

OpenedDirectory openDirectorySafely(const QByteArray& path, bool mayBePathOnly) {
    if (path.isEmpty()) {
        return ended(OpenedDirectory::Status::Missing, ENOENT);
    }
    std::string todo = path.toStdString();
    UniqueFd current(::open(todo.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat here {};
    if (!current.valid() || ::fstat(current.get(), &here) != 0) {
        return ended(OpenedDirectory::Status::Missing, errno);
    }
    int links = 0;
    while (!todo.empty()) {
        const size_t start = todo.find_first_not_of('/');
        if (start == std::string::npos) {
            break;
        }
        const size_t end = todo.find('/', start);
        const std::string step = todo.substr(start, end - start);
        todo.erase(0, end);  // what is left begins with "/" or is empty
        if (step == ".") {
            continue;
        }
        UniqueFd next(::openat(current.get(), step.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat there {};
        if (!next.valid() || ::fstat(next.get(), &there) != 0) {
            return ended(OpenedDirectory::Status::Missing, errno);
        }
        if (unsafeStep(here, there)) {
            return ended(OpenedDirectory::Status::Unsafe, EPERM);
        }
        if (S_ISLNK(there.st_mode)) {
            // A link is its owner's word, wherever it stands: one of another user is never
            // followed, even in a shared folder of root's, whether or not the kernel's own
            // guard (fs.protected_symlinks) is on.
            if (there.st_uid != 0 && there.st_uid != ::geteuid()) {
                return ended(OpenedDirectory::Status::Unsafe, EPERM);
            }
            if (++links > kMaxLinks) {
                return ended(OpenedDirectory::Status::Missing, ELOOP);
            }
            std::string target(PATH_MAX, '\0');
            const ssize_t size = ::readlinkat(next.get(), "", target.data(), target.size());
            if (size <= 0) {
                return ended(OpenedDirectory::Status::Missing, size == 0 ? ENOENT : errno);
            }
            target.resize(static_cast<size_t>(size));
            todo = target + todo;
            if (target.front() == '/') {
                // Starting again from the root is a step like any other, out of the link.
                UniqueFd root(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                struct stat rootInfo {};
                if (!root.valid() || ::fstat(root.get(), &rootInfo) != 0) {
                    return ended(OpenedDirectory::Status::Missing, errno);
                }
                if (unsafeStep(there, rootInfo)) {
                    return ended(OpenedDirectory::Status::Unsafe, EPERM);
                }
                current = std::move(root);
                here = rootInfo;
            }
            continue;  // a relative target goes on from the folder that holds the link
        }
        if (!S_ISDIR(there.st_mode)) {
            return ended(OpenedDirectory::Status::Missing, ENOTDIR);
        }
        current = std::move(next);
        here = there;
    }
    OpenedDirectory result;
    result.fd.reset(::openat(current.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (result.fd.valid()) {
        result.status = OpenedDirectory::Status::Open;
    } else if (errno == EACCES && mayBePathOnly) {
        result.fd = std::move(current);
        result.status = OpenedDirectory::Status::Open;
    } else {
        result.status = OpenedDirectory::Status::Failed;
        result.error = errno;
    }
    return result;
}
