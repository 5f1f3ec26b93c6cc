#include "storage/settings.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "storage/connection.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

namespace Settings {

namespace {

QSqlQuery prepared(Connection& connection, const QString& sql, const QVariantList& values) {
    QSqlQuery query(connection.database());
    if (!query.prepare(sql)) {
        throw StorageError::fromSql(query.lastError());
    }
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        throw StorageError::fromSql(query.lastError());
    }
    return query;
}

}  // namespace

QString read(Connection& connection, const QString& key, const QString& fallback) {
    // A database no setting was ever written to has no table: read-only runs read it as it is.
    QSqlQuery table = prepared(connection,
                               u"SELECT 1 FROM sqlite_master WHERE type = 'table'"
                               u" AND name = 'quillon_setting'"_s,
                               {});
    if (!table.next()) {
        return fallback;
    }
    QSqlQuery query =
        prepared(connection, u"SELECT value FROM quillon_setting WHERE key = ?"_s, {key});
    return query.next() ? query.value(0).toString() : fallback;
}

void write(Connection& connection, const QString& key, const QString& value) {
    connection.Execute(
        u"CREATE TABLE IF NOT EXISTS quillon_setting (key TEXT PRIMARY KEY, value TEXT)"_s);
    prepared(connection, u"INSERT OR REPLACE INTO quillon_setting (key, value) VALUES (?, ?)"_s,
             {key, value});
}

}  // namespace Settings
