#include "storage/settings.h"

#include "storage/connection.h"

using namespace Qt::StringLiterals;

namespace Settings {

QString read(Connection& connection, const QString& key, const QString& fallback) {
    // A database no setting was ever written to has no table: read-only runs read it as it is.
    QSqlQuery table = connection.bound(
        u"SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'quillon_setting'"_s);
    if (!table.next()) {
        return fallback;
    }
    QSqlQuery query = connection.bound(u"SELECT value FROM quillon_setting WHERE key = ?"_s, {key});
    return query.next() ? query.value(0).toString() : fallback;
}

void write(Connection& connection, const QString& key, const QString& value) {
    connection.Execute(
        u"CREATE TABLE IF NOT EXISTS quillon_setting (key TEXT PRIMARY KEY, value TEXT)"_s);
    connection.bound(u"INSERT OR REPLACE INTO quillon_setting (key, value) VALUES (?, ?)"_s,
                     {key, value});
}

}  // namespace Settings
