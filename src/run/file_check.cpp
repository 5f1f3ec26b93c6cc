#include "run/file_check.h"

#include <sys/stat.h>

#include <cerrno>

#include "schedule/date_time_text.h"

using namespace Qt::StringLiterals;

FileReport checkAndAct(FileSystem& fs, const RuleDirectories& directories, const OldFile& file) {
    const Rule& rule = directories.rule;
    FileReport report{rule, file.path, file.target, file.stamp, FileStatus::Done, {}};
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
    FileResult result;
    if (directories.ontoItself) {
        result = {EINVAL, u"コピー先が元のファイルと同じです"_s};
    } else if (rule.process == kCopyProcess) {
        result = fs.copyFile(directories.source, file.name, now, directories.destination);
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
