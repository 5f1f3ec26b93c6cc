#pragma once

#include <QString>
#include <optional>

#include "disk/file_system.h"
#include "storage/rule_row.h"

// The editor a failed check sends the user back to; Unchanged leaves the focus where it is.
enum class RuleField { Retention, Extension, Process, Unchanged };

struct RuleCheckFailure {
    QString message;
    RuleField field;
};

// True when the extension holds ".", "/", "\", "*" or "?".
bool KAK_CHK(const QString& extension);

// The registration checks of the editor's rule in their order; the first that fails is
// returned. A directory is looked for as a run reaches it. A source and a destination that are
// one directory on disk are refused however they are written, since moving or copying files
// onto themselves would destroy them at the next run.
std::optional<RuleCheckFailure> checkRule(const Rule& entry, FileSystem& fs);
