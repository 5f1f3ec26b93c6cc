#include "run/file_action.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "text/date_time_text.h"

using namespace Qt::StringLiterals;

namespace {

// Who a copy belongs to: the source's owner where the run may keep it (root), else the user
// running it.
uid_t ownerOfCopy(const struct stat& source) {
    return ::geteuid() == 0 ? source.st_uid : ::geteuid();
}

// rsync's quick check: a regular file already stands at the target with the size, time (to the
// second), owner, group and mode the copy would give it, so the copy would write what is there.
// Anyone may give a file a size and a time; only its owner's own copy has all five. Only a copy
// may trust it; a move must still take the source away.
bool alreadyCopied(const struct stat& target, const struct stat& source) {
    return S_ISREG(target.st_mode) && target.st_size == source.st_size &&
           target.st_mtim.tv_sec == source.st_mtim.tv_sec && target.st_uid == ownerOfCopy(source) &&
           target.st_gid == source.st_gid && (target.st_mode & 07777) == (source.st_mode & 07777);
}

FileIdentity identityOf(const struct stat& info) {
    return {static_cast<qint64>(info.st_dev), static_cast<qint64>(info.st_ino), info.st_size,
            info.st_mtim.tv_sec};
}

TrashRecord trashRecord(const TrashEntry& entry, const struct stat& info) {
    return {0,
            entry.trash,
            entry.name,
            static_cast<qint64>(info.st_dev),
            static_cast<qint64>(info.st_ino),
            info.st_size,
            info.st_mtim.tv_sec,
            {}};
}

QByteArray pathBytes(const QString& folder, const char* name) {
    return QFile::encodeName(folder) + '/' + name;
}

// A failed copy or move names the destination folder where that is what failed: only the
// target is written, or the run may not write in it.
FileResult destinationNamed(FileSystem& fs, const RuleDirectories& directories, FileResult result) {
    const bool written = result.error == ENOSPC || result.error == EDQUOT || result.error == EFBIG;
    const bool refused = result.error == EACCES || result.error == EPERM || result.error == EROFS;
    if (written || (refused && !fs.mayWriteIn(directories.destination))) {
        result.reason = u"先ディレクトリ "_s + directories.rule.destination +
                        u" に書き込めません："_s + result.reason;
    }
    return result;
}

// Copies or moves the checked file `now`; what it left at the target goes into the report,
// except for a rename, whose target is the file itself.
FileResult copyOrMove(FileSystem& fs, const RuleDirectories& directories, const char* name,
                      const struct stat& now, FileReport& report) {
    const bool move = directories.rule.process == kMoveProcess;
    // The common case first: a rename onto a free name needs no look at the target.
    bool renames = false;
    if (move && directories.oneFileSystem) {
        const FileResult renamed =
            fs.moveFile(directories.source, name, now, directories.destination, false);
        if (renamed.error != EEXIST && renamed.error != EXDEV) {
            return destinationNamed(fs, directories, renamed);
        }
        renames = renamed.error == EEXIST;  // the name is taken; across mounts, a copy
    }
    // What stands at the target is replaced only where it is the same user's: a file of
    // someone else's there stays theirs, and this one stays where it is.
    struct stat target {};
    const bool taken = fs.statAt(directories.destination, name, target).ok();
    if (taken && target.st_uid != (move ? now.st_uid : ownerOfCopy(now))) {
        return {EEXIST, u"先に別のユーザーのファイルがあります"_s};
    }
    // The target holds the copy already: nothing is written, and nothing is recorded as the
    // run's own there, so taking the run back never removes it.
    if (taken && !move && alreadyCopied(target, now)) {
        return FileResult::success();
    }
    // Another name of the same file at the target holds the data already: nothing is replaced.
    report.replaces = taken && S_ISREG(target.st_mode) && !sameIdentity(target, now);
    // With the trash on, the file replaced waits there: another name of it is put there first,
    // and taken out again where the copy or move does not replace it after all.
    std::optional<TrashEntry> kept;
    if (report.replaces && directories.trashes) {
        TrashEntry entry;
        const FileResult keep =
            fs.keepInTrash(directories.destination, name, target,
                           pathBytes(directories.rule.destination, name), directories.runAt, entry);
        if (!keep.ok()) {
            return keep.error == ESTALE ? FileResult{EEXIST, keep.reason} : keep;
        }
        kept = entry;
    }
    const FileResult result =
        move ? fs.moveFile(directories.source, name, now, directories.destination, true)
             : fs.copyFile(directories.source, name, now, directories.destination);
    if (kept && !kept->trash.isEmpty()) {
        if (result.ok()) {
            report.trashed = trashRecord(*kept, target);
        } else {
            fs.takeBackFromTrash(*kept);
        }
    }
    if (result.ok() && !renames && fs.statAt(directories.destination, name, target).ok()) {
        report.placed = identityOf(target);
    }
    return destinationNamed(fs, directories, result);
}

}  // namespace

FileReport checkAndAct(FileSystem& fs, const RuleDirectories& directories, const OldFile& file) {
    const Rule& rule = directories.rule;
    FileReport report{.rule = rule,
                      .path = file.path,
                      .target = file.target,
                      .stamp = file.stamp,
                      .mtime = file.listed->mtime,
                      .size = 0,
                      .status = FileStatus::Done,
                      .reason = {},
                      .placed = {},
                      .trashed = {},
                      .toTrash = directories.trashes && rule.process == kDeleteProcess,
                      .replaces = false,
                      .listed = file.listed};
    struct stat now {};
    const FileResult checked = fs.statAt(directories.source, file.name, now);
    if (!checked.ok()) {
        report.status = checked.error == ENOENT ? FileStatus::Skipped : FileStatus::Failed;
        report.reason = checked.reason;
        return report;
    }
    if (!S_ISREG(now.st_mode) || now.st_dev != file.listed->device ||
        now.st_ino != file.listed->inode ||
        (now.st_mtim.tv_sec != file.listed->mtime &&
         !(stampText(now.st_mtim.tv_sec) < directories.cutoff))) {
        report.status = FileStatus::Skipped;
        return report;
    }
    report.size = now.st_size;
    FileResult result;
    if (directories.ontoItself) {
        result = {EINVAL, u"コピー先が元のファイルと同じです"_s};
    } else if (rule.copies()) {
        result = copyOrMove(fs, directories, file.name, now, report);
    } else if (rule.process == kDeleteProcess && directories.trashes) {
        TrashEntry entry;
        result = fs.trashFile(directories.source, file.name, now, pathBytes(rule.source, file.name),
                              directories.runAt, entry);
        if (result.ok() && !entry.trash.isEmpty()) {
            report.trashed = trashRecord(entry, now);
        }
    } else if (rule.process == kDeleteProcess) {
        result = fs.removeFile(directories.source, file.name);
    }
    if (result.error == ESTALE) {
        report.status = FileStatus::Skipped;  // replaced between the check and the copy
    } else if (!result.ok()) {
        report.status = FileStatus::Failed;
        report.reason = result.reason;
    }
    return report;
}
