#pragma once

#include <QString>
#include <optional>

#include "schedule/file_system.h"

// The rule as the editor holds it, every field trimmed.
struct RuleEntry {
    QString source;
    QString destination;
    QString extension;
    QString retention;
    QString process;  // the chosen option's caption; empty when none is chosen
};

// The editor a failed check sends the user back to; Unchanged leaves the focus where it is.
enum class RuleField { Retention, Extension, Process, Unchanged };

struct RuleCheckFailure {
    QString message;
    RuleField field;
};

// True when the extension holds ".", "/", "\", "*" or "?".
bool KAK_CHK(const QString& extension);

// The registration checks in their order; the first that fails is returned. A source and a
// destination that are one directory on disk are refused however they are written, since
// moving or copying files onto themselves would destroy them at the next run.
std::optional<RuleCheckFailure> checkRule(const RuleEntry& entry, FileSystem& fs);
