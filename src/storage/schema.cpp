#include "storage/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>

#include "storage/connection.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

namespace {

struct TableDefinition {
    QString ModuleValues::*name;
    QStringList columns;
};

// Column order is binding: rows are inserted by position.
const TableDefinition kTables[] = {
    {&ModuleValues::tbl_rule,
     {u"順序"_s, u"元ディレクトリ"_s, u"先ディレクトリ"_s, u"拡張子"_s, u"残存日数"_s, u"処理"_s}},
    {&ModuleValues::tbl_set, {u"曜日"_s, u"実行時"_s, u"実行分"_s, u"ログ残存日数"_s}},
    {&ModuleValues::tbl_log,
     {u"対象ファイル"_s, u"タイムスタンプ"_s, u"処理内容"_s, u"処理日時"_s}},
};

QString createTable(const QString& table, const QStringList& columns) {
    QStringList declared;
    for (const QString& column : columns) {
        // NOCASE keeps comparisons blind to ASCII letter case, as the stored texts expect.
        declared << column + u" TEXT COLLATE NOCASE"_s;
    }
    return u"CREATE TABLE "_s + table + u" ("_s + declared.join(u", "_s) + u")"_s;
}

void createDatabase(const ModuleValues& values) {
    // Built under a temporary name and renamed into place, so an interrupted creation never
    // leaves a file that lacks a table.
    const QString temp =
        values.db_path + u".new-"_s + QString::number(QCoreApplication::applicationPid());
    QFile::remove(temp);
    ModuleValues tempValues = values;
    tempValues.cn_str =
        QUrl::fromLocalFile(QFileInfo(temp).absoluteFilePath()).toString(QUrl::FullyEncoded) +
        u"?mode=rwc"_s;
    try {
        Connection connection(tempValues);
        connection.Execute(u"PRAGMA journal_mode=WAL"_s);
        Transaction transaction(connection);
        for (const TableDefinition& table : kTables) {
            connection.Execute(createTable(values.*table.name, table.columns));
        }
        // The log list orders by the file's time stamp; pruning filters on the run's time.
        connection.Execute(u"CREATE INDEX day_log_timestamp ON "_s + values.tbl_log +
                           u" (タイムスタンプ)"_s);
        connection.Execute(u"CREATE INDEX day_log_run ON "_s + values.tbl_log + u" (処理日時)"_s);
        transaction.commit();
    } catch (...) {
        QFile::remove(temp);
        throw;
    }
    if (!QFile::rename(temp, values.db_path)) {
        QFile::remove(temp);
        // Someone else created it meanwhile; that file is checked like any existing one.
        if (!QFileInfo::exists(values.db_path)) {
            throw StorageError(u"cannot create "_s + values.db_path);
        }
    }
}

void checkTables(const ModuleValues& values) {
    Connection connection(values);
    for (const TableDefinition& table : kTables) {
        const QString name = values.*table.name;
        QSqlQuery query(connection.database());
        query.prepare(u"SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?"_s);
        query.addBindValue(name);
        if (!query.exec()) {
            throw StorageError::fromSql(query.lastError());
        }
        if (!query.next()) {
            throw StorageError::missingTable(values.db_path, name);
        }
    }
}

}  // namespace

void ensureSchema(const ModuleValues& values) {
    if (!QFileInfo::exists(values.db_path)) {
        createDatabase(values);
    }
    checkTables(values);
}
