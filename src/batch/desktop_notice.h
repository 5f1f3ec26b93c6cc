#pragma once

#include <QString>
#include <optional>

#include "run/run_notice.h"

// What a run that nobody watched tells the desktop.
struct DesktopNotice {
    QString summary;  // "Quillon: 失敗 3 件", "Quillon: 中断"
    QString body;     // why the run stopped, if it did, and the first failures
};

// The notice for a run that ended with failed files, a missing or refused directory, or a
// storage failure; nothing for a complete run, a served minute or another run holding the
// database.
std::optional<DesktopNotice> desktopNotice(const RunNotice& notice, const RunOutcome& outcome);

// Shows it through the freedesktop notification service on the session bus. Where there is no
// session bus (a server, a system cron) nothing is tried, and no bus is ever started for it.
// False when it was not shown.
bool sendDesktopNotice(const DesktopNotice& notice);
