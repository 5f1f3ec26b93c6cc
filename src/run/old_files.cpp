#include "run/old_files.h"

#include "text/date_time_text.h"

OldFiles listOldFiles(FileSystem& fs, int source, const Rule& rule, const QDateTime& at,
                      const std::function<void()>& progress) {
    OldFiles old;
    old.cutoff = cutoffText(at, retentionNumber(rule.retention));
    old.listing = fs.listDirectory(source, rule.extension, olderThan(old.cutoff), progress);
    return old;
}
