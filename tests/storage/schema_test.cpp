#include "storage/schema.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "storage/connection.h"
#include "storage/sql_text.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

namespace {

QStringList columns(Connection& connection, const QString& table) {
    QStringList names;
    Recordset rows(connection, u"SELECT name FROM pragma_table_info('"_s + table + u"')"_s);
    for (; !rows.eof(); rows.moveNext()) {
        names << rows.field(u"name"_s);
    }
    return names;
}

QString scalar(Connection& connection, const QString& sql) {
    QSqlQuery query(connection.database());
    EXPECT_TRUE(query.exec(sql) && query.next()) << sql.toStdString();
    return query.value(0).toString();
}

}  // namespace

TEST(Schema, CreatesAMissingDatabaseWithTheTablesInColumnOrder) {
    QTemporaryDir dir;
    const ModuleValues values = ModuleValues::forDirectory(dir.path() + u"/日本 it's"_s);
    ASSERT_TRUE(QDir().mkpath(dir.path() + u"/日本 it's"_s));
    ensureSchema(values);
    ensureSchema(values);  // a second start finds everything in place

    Connection connection(values);
    EXPECT_EQ(columns(connection, u"sweeprun"_s),
              (QStringList{u"順序"_s, u"元ディレクトリ"_s, u"先ディレクトリ"_s, u"拡張子"_s,
                           u"残存日数"_s, u"処理"_s}));
    EXPECT_EQ(columns(connection, u"day_set"_s),
              (QStringList{u"曜日"_s, u"実行時"_s, u"実行分"_s, u"ログ残存日数"_s}));
    EXPECT_EQ(columns(connection, u"day_log"_s),
              (QStringList{u"対象ファイル"_s, u"タイムスタンプ"_s, u"処理内容"_s, u"処理日時"_s}));
    EXPECT_EQ(scalar(connection, u"PRAGMA journal_mode"_s), u"wal"_s);
    EXPECT_EQ(scalar(connection,
                     u"SELECT count(*) FROM sqlite_master WHERE type = 'index' "
                     u"AND tbl_name = 'day_log'"_s),
              u"2"_s);

    // Texts compare without regard to ASCII letter case.
    connection.Execute(SqlText::insertValues(
        u"sweeprun"_s, {u"001"_s, u"/Data/IN"_s, u""_s, u"TXT"_s, u"7"_s, u"削除"_s}));
    EXPECT_EQ(
        scalar(
            connection,
            u"SELECT count(*) FROM sweeprun WHERE 元ディレクトリ = '/data/in' AND 拡張子 = 'txt'"_s),
        u"1"_s);
}

TEST(Schema, AnExistingFileLackingATableIsReportedAndLeftAlone) {
    QTemporaryDir dir;
    const ModuleValues values = ModuleValues::forDirectory(dir.path());
    ensureSchema(values);
    {
        Connection connection(values);
        connection.Execute(u"DROP TABLE day_set"_s);
        connection.Execute(u"PRAGMA wal_checkpoint(TRUNCATE)"_s);
    }
    QFile file(values.db_path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    try {
        ensureSchema(values);
        FAIL() << "a missing table must be reported";
    } catch (const StorageError& error) {
        EXPECT_EQ(error.message(),
                  u"データベース "_s + values.db_path + u" に day_set がありません"_s);
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

TEST(Schema, StorageFailuresBecomeTypedErrorsWithTheDriversText) {
    QTemporaryDir dir;
    const ModuleValues values = ModuleValues::forDirectory(dir.path());

    // An action never creates the database by accident.
    EXPECT_THROW(Connection{values}, StorageError);
    EXPECT_FALSE(QFile::exists(values.db_path));

    QFile junk(values.db_path);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    try {
        ensureSchema(values);
        FAIL() << "a file that is no database must be reported";
    } catch (const StorageError& error) {
        EXPECT_TRUE(error.message().startsWith(u"データベースの処理に失敗しました（"_s))
            << error.message().toStdString();
        EXPECT_FALSE(error.reason().isEmpty());
    }

    QFile::remove(values.db_path);
    ensureSchema(values);
    Connection connection(values);
    EXPECT_THROW(connection.Execute(u"INSERT INTO nowhere VALUES ( 'x' );"_s), StorageError);
}
