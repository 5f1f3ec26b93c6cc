#pragma once

#include <QString>

class Connection;

// Quillon's own settings, beside the system's tables: a row each in quillon_setting (key TEXT
// PRIMARY KEY, value TEXT), so an administrator can set one without the window.
namespace Settings {

// 保管日数: how many days a deleted file waits in the trash; "0" deletes at once.
inline const QString kTrashDays = QStringLiteral("trash_days");

// The stored value, or `fallback` where none is stored (or the table is not there yet).
QString read(Connection& connection, const QString& key, const QString& fallback);
void write(Connection& connection, const QString& key, const QString& value);

}  // namespace Settings
