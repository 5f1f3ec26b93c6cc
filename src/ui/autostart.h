#pragma once

#include <QString>

// "ログイン時に起動": the XDG autostart entry that starts the window when the user logs in, in
// $XDG_CONFIG_HOME/autostart (~/.config/autostart without it).
namespace Autostart {

// The entry's path.
QString entryPath();
// True when the entry is there and not hidden.
bool enabled();
// Writes the entry, starting `program`, or removes it. Empty when done; otherwise
// "ログイン時の起動を設定できません（<reason>）", and nothing changed.
QString set(bool enable, const QString& program);
// `program` as the Exec key takes it: quoted where it holds more than letters, digits and the
// safe punctuation of a path, with " ` $ and \ escaped and % doubled.
QString execText(const QString& program);

}  // namespace Autostart
