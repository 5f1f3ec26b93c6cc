#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

#include "disk/file_system.h"
#include "storage/rule_row.h"

// A rule's old files as of a time: the files of its extension in its source folder stamped
// before its cutoff, oldest first. The run handles them; the rule editor counts them.
struct OldFiles {
    QString cutoff;  // "yyyy/MM/dd HH:mm:ss" (see cutoffText); empty when nothing is old
    std::shared_ptr<const Listing> listing;
};

// Lists the rule's old files in `source`, the rule's source folder opened; `progress` is called
// now and then while a large folder is read.
OldFiles listOldFiles(FileSystem& fs, int source, const Rule& rule, const QDateTime& at,
                      const std::function<void()>& progress = {});
