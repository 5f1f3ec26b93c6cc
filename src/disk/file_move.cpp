// A move between two file systems: copy, claim the source's name, put the copy in place, then
// remove the claimed source.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "disk/copy_temporaries.h"
#include "disk/file_copy.h"
#include "disk/file_system.h"
#include "disk/unique_fd.h"

using namespace Qt::StringLiterals;

namespace {

int syncDirectory(int directory) {
    // The directory may be held for its path only; fsync wants a descriptor that can read it.
    UniqueFd readable(::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!readable.valid() || ::fsync(readable.get()) != 0) {
        return errno;
    }
    return 0;
}

// rename without replacing what stands at `to`; errno, 0 on success.
int renameNoReplace(int directory, const char* from, const char* to) {
    if (::renameat2(directory, from, directory, to, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL) {
        return errno;
    }
    // A file system without the flag: look, then rename.
    struct stat taken {};
    if (::fstatat(directory, to, &taken, AT_SYMLINK_NOFOLLOW) == 0) {
        return EEXIST;
    }
    return ::renameat(directory, from, directory, to) == 0 ? 0 : errno;
}

// The same bytes as far as the kernel can tell: size and modification time, and with
// changeTime the change time too (which a rename changes, and so is only compared before it).
bool unchanged(const struct stat& a, const struct stat& b, bool changeTime) {
    return sameIdentity(a, b) && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           (!changeTime ||
            (a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec));
}

}  // namespace

QByteArray moveClaimName(const char* name) {
    quint64 hash = 14695981039346656037ull;  // FNV-1a
    for (const char* c = name; *c != '\0'; ++c) {
        hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
    }
    return ".quillon-move-" + QByteArray::number(hash, 16).rightJustified(16, '0');
}

FileResult PosixFileSystem::moveAcross(int sourceDir, const char* name, const struct stat& expected,
                                       int targetDir) {
    UniqueFd in(::openat(sourceDir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat copied {};
    if (!in.valid() || ::fstat(in.get(), &copied) != 0) {
        return FileResult::fromErrno(errno);
    }
    if (!S_ISREG(copied.st_mode) || !sameIdentity(copied, expected)) {
        return FileResult::fromErrno(ESTALE);
    }
    CopyTemporary temp(targetDir);
    if (!temp.valid()) {
        return FileResult::fromErrno(temp.error());
    }
    int error = fillCopy(in.get(), copied, temp.fd(), true);
    if (error == 0 && ::fsync(temp.fd()) != 0) {
        error = errno;
    }
    struct stat placed {};
    if (error == 0 && ::fstat(temp.fd(), &placed) != 0) {
        error = errno;
    }
    if (error != 0) {
        return FileResult::fromErrno(error);
    }
    moveCopied(name);
    // Written to during the copy? Then the copy is stale: it goes, the file stays.
    struct stat now {};
    if (::fstat(in.get(), &now) != 0) {
        return FileResult::fromErrno(errno);
    }
    if (!unchanged(copied, now, true)) {
        return FileResult::fromErrno(ESTALE);
    }
    // From here the name is ours: a program that replaces the file puts a new one beside the
    // claim, and one that writes to it still shows in its size or time.
    const QByteArray claim = moveClaimName(name);
    if ((error = renameNoReplace(sourceDir, name, claim.constData())) != 0) {
        return FileResult::fromErrno(error);
    }
    const auto giveBack = [&](int why) -> FileResult {
        if (renameNoReplace(sourceDir, claim.constData(), name) != 0) {
            // A new file took the name meanwhile: this one is kept beside it, and the user is
            // told where. A failure, never a skip: the file must not lose its row unseen.
            return FileResult{EEXIST,
                              u"移動中に同じ名前の新しいファイルができたため、元のファイルを "_s +
                                  QString::fromUtf8(claim) + u" に残しました"_s};
        }
        return FileResult::fromErrno(why);
    };
    // The copy leaves the destination again; only a name that is still the copy is removed.
    const auto withdrawCopy = [&] {
        struct stat there {};
        if (::fstatat(targetDir, name, &there, AT_SYMLINK_NOFOLLOW) == 0 &&
            sameIdentity(there, placed)) {
            ::unlinkat(targetDir, name, 0);
        }
    };
    struct stat claimed {};
    if (::fstatat(sourceDir, claim.constData(), &claimed, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fstat(in.get(), &now) != 0 || !sameIdentity(claimed, copied) ||
        !unchanged(copied, now, false)) {
        return giveBack(ESTALE);
    }
    if ((error = temp.commit(name)) != 0) {
        return giveBack(error);
    }
    if ((error = syncDirectory(targetDir)) != 0 ||
        (::unlinkat(sourceDir, claim.constData(), 0) != 0 && (error = errno) != 0)) {
        withdrawCopy();
        return giveBack(error);
    }
    return FileResult::success();
}

FileResult PosixFileSystem::restoreMoveClaim(int directory, const char* name) {
    const QByteArray claim = moveClaimName(name);
    struct stat claimed {};
    if (::fstatat(directory, claim.constData(), &claimed, AT_SYMLINK_NOFOLLOW) != 0) {
        return FileResult::fromErrno(errno);
    }
    if (!S_ISREG(claimed.st_mode)) {
        return FileResult::fromErrno(EINVAL);
    }
    const int error = renameNoReplace(directory, claim.constData(), name);
    return error == 0 ? FileResult::success() : FileResult::fromErrno(error);
}
