#include "run/file_check.h"

#include <sys/stat.h>

#include <cerrno>

#include "schedule/date_time_text.h"

using namespace Qt::StringLiterals;

namespace {

// rsync's quick check: a regular file of the same size and modification time (to the second)
// already stands at the target, so the copy would write what is there. Only a copy may trust
// it; a move must still take the source away.
bool alreadyCopied(FileSystem& fs, int targetDir, const char* name, const struct stat& source) {
    struct stat target {};
    return fs.statAt(targetDir, name, target).ok() && S_ISREG(target.st_mode) &&
           target.st_size == source.st_size && target.st_mtim.tv_sec == source.st_mtim.tv_sec;
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
                      .reason = {}};
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
    } else if (rule.process == kCopyProcess) {
        if (!alreadyCopied(fs, directories.destination, file.name, now)) {
            result = fs.copyFile(directories.source, file.name, now, directories.destination);
        }
    } else if (rule.process == kMoveProcess) {
        result = fs.moveFile(directories.source, file.name, now, directories.destination);
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
