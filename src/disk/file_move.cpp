// A move between two file systems: copy, claim the source's name, put the copy in place, then
// remove the claimed source.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "disk/checked_rename.h"
#include "disk/copy_temporaries.h"
#include "disk/file_copy.h"
#include "disk/file_lister.h"
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

}  // namespace

int renameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL) {
        return errno;
    }
    // A file system without the flag: look, then rename.
    struct stat taken {};
    if (::fstatat(toDir, to, &taken, AT_SYMLINK_NOFOLLOW) == 0) {
        return EEXIST;
    }
    return ::renameat(fromDir, from, toDir, to) == 0 ? 0 : errno;
}

namespace {

// The same bytes as far as the kernel can tell: size and modification time, and with
// changeTime the change time too (which a rename changes, and so is only compared before it).
bool unchanged(const struct stat& a, const struct stat& b, bool changeTime) {
    return sameIdentity(a, b) && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           (!changeTime ||
            (a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec));
}

constexpr char kClaimPrefix[] = ".quillon-move-";

// Renames the source aside under a claim of the run's own, a name nobody can know in advance;
// one that is taken already makes it draw another. Returns errno, 0 on success.
int claim(int directory, const char* name, QByteArray& claimed) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        claimed = kClaimPrefix + randomText(16);
        const int error = renameNoReplace(directory, name, directory, claimed.constData());
        if (error != EEXIST) {
            return error;
        }
    }
    return EEXIST;
}

}  // namespace

FileResult renameChecked(int sourceDir, const char* name, const struct stat& expected,
                         int targetDir, const char* targetName, bool replace) {
    const int error = replace
                          ? (::renameat(sourceDir, name, targetDir, targetName) == 0 ? 0 : errno)
                          : renameNoReplace(sourceDir, name, targetDir, targetName);
    if (error != 0) {
        // Refused because something else stood under the name by then (a folder cannot
        // replace a file): the file checked was not what the rename met, so it is skipped.
        struct stat now {};
        const bool swapped = ::fstatat(sourceDir, name, &now, AT_SYMLINK_NOFOLLOW) != 0 ||
                             !S_ISREG(now.st_mode) || !sameIdentity(now, expected);
        return FileResult::fromErrno(swapped && error != EXDEV ? ESTALE : error);
    }
    // The name was checked, not held: another name may have been swapped in since. Whatever
    // arrived that is not the file checked goes back to the source folder, under its own name
    // or, where that is taken again, a free one beside it, and the file counts as skipped.
    struct stat arrived {};
    if (::fstatat(targetDir, targetName, &arrived, AT_SYMLINK_NOFOLLOW) != 0) {
        return FileResult::fromErrno(ESTALE);
    }
    if (S_ISREG(arrived.st_mode) && sameIdentity(arrived, expected)) {
        return FileResult::success();
    }
    int back = renameNoReplace(targetDir, targetName, sourceDir, name);
    for (int attempt = 0; back == EEXIST && attempt < 100; ++attempt) {
        const QByteArray beside = QByteArray(name) + ".quillon-" + randomText(8);
        back = renameNoReplace(targetDir, targetName, sourceDir, beside.constData());
    }
    if (back != 0) {
        return {back, u"移動先に別のファイルが入れ替わって届き、元に戻せませんでした（"_s +
                          FileResult::fromErrno(back).reason + u"）"_s};
    }
    return FileResult::fromErrno(ESTALE);
}

FileResult PosixFileSystem::renameFile(int sourceDir, const char* name, const struct stat& expected,
                                       int targetDir, bool replace) {
    return renameChecked(sourceDir, name, expected, targetDir, name, replace);
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
    QByteArray claimName;
    if ((error = claim(sourceDir, name, claimName)) != 0) {
        return FileResult::fromErrno(error);
    }
    const auto giveBack = [&](int why) -> FileResult {
        if (renameNoReplace(sourceDir, claimName.constData(), sourceDir, name) != 0) {
            // A new file took the name meanwhile: this one is kept beside it, and the user is
            // told where. A failure, never a skip: the file must not lose its row unseen.
            return FileResult{EEXIST,
                              u"移動中に同じ名前の新しいファイルができたため、元のファイルを "_s +
                                  QString::fromUtf8(claimName) + u" に残しました"_s};
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
    if (::fstatat(sourceDir, claimName.constData(), &claimed, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fstat(in.get(), &now) != 0 || !sameIdentity(claimed, copied) ||
        !unchanged(copied, now, false)) {
        return giveBack(ESTALE);
    }
    if ((error = temp.commit(name)) != 0) {
        return giveBack(error);
    }
    if ((error = syncDirectory(targetDir)) != 0 ||
        (::unlinkat(sourceDir, claimName.constData(), 0) != 0 && (error = errno) != 0)) {
        withdrawCopy();
        return giveBack(error);
    }
    return FileResult::success();
}

void PosixFileSystem::restoreMoveClaims(int directory, const ClaimedNames& names) {
    for (const std::string& entry : ReadNames(directory).names) {
        struct stat claimed {};
        if (!entry.starts_with(kClaimPrefix) ||
            ::fstatat(directory, entry.c_str(), &claimed, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(claimed.st_mode)) {
            continue;
        }
        if (const auto name = names.find({claimed.st_dev, claimed.st_ino}); name != names.end()) {
            renameNoReplace(directory, entry.c_str(), directory, name->second.constData());
        }
    }
}
