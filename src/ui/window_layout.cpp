#include "ui/window_layout.h"

#include <algorithm>

#include "storage/shared_func.h"

using namespace Qt::StringLiterals;

QString windowCaption(int major, int minor, int revision) {
    return u"Quillon V"_s + QString::number(major) +
           RightBytes(u"00"_s + QString::number(minor), 2) +
           RightBytes(u"00"_s + QString::number(revision), 2);
}

WindowLayout startupLayout(double screenHeight, double decoration) {
    // The designed heights of the groups that keep theirs.
    constexpr double kOperationTop = 0;
    constexpr double kOperationHeight = 735;
    constexpr double kScheduleHeight = 1095;
    constexpr double kDirectoryHeight = 735;  // Frame1
    constexpr double kOrderHeight = 735;      // Frame14
    // The rule list shows its header and four rules at least: on a low screen the log gives up
    // room for them, down to its header and a row.
    constexpr double kRuleGridLeast = 1800;
    constexpr double kLogLeast = 1000;
    WindowLayout layout{};
    layout.windowHeight = screenHeight - decoration;
    layout.logTop = kOperationTop + kOperationHeight;
    const double logRoom = layout.windowHeight - kOperationHeight - kScheduleHeight - 400 -
                           (kDirectoryHeight + kOrderHeight + 600 + kRuleGridLeast);
    layout.logHeight = std::max(
        kLogLeast, std::min(static_cast<double>(static_cast<float>(screenHeight / 3)), logRoom));
    layout.logGridHeight = layout.logHeight - 400;
    layout.scheduleTop = layout.logTop + layout.logHeight;
    layout.rulesTop = layout.scheduleTop + kScheduleHeight;
    layout.rulesHeight =
        layout.windowHeight - kOperationHeight - layout.logHeight - kScheduleHeight - 400;
    layout.ruleGridHeight = layout.rulesHeight - kDirectoryHeight - kOrderHeight - 600;
    return layout;
}
