#include "support/temp_tree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>

#include "storage/connection.h"
#include "storage/schema.h"
#include "storage/sql_text.h"

using namespace Qt::StringLiterals;

TempTree::TempTree() : m_values(ModuleValues::forDirectory(m_dir.path())) {
    ensureSchema(m_values);
}

QString TempTree::path(const QString& relative) const {
    return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
}

QString TempTree::dir(const QString& relative) const {
    QDir().mkpath(path(relative));
    return path(relative);
}

QString TempTree::file(const QString& relative, const QByteArray& content,
                       const QDateTime& mtime) const {
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).path());
    QFile out(full);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate)) << full.toStdString();
    out.write(content);
    out.close();
    const struct timespec times[2] = {{mtime.toSecsSinceEpoch(), 0}, {mtime.toSecsSinceEpoch(), 0}};
    EXPECT_EQ(utimensat(AT_FDCWD, QFile::encodeName(full).constData(), times, 0), 0);
    return full;
}

QDateTime TempTree::mtime(const QString& path) {
    return QFileInfo(path).lastModified();
}

QByteArray TempTree::read(const QString& path) {
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

void TempTree::addRule(const QStringList& row) const {
    Connection connection(m_values);
    connection.Execute(SqlText::insertValues(m_values.tbl_rule, row));
}

void TempTree::addLogRow(const QStringList& row) const {
    Connection connection(m_values);
    connection.Execute(SqlText::insertValues(m_values.tbl_log, row));
}

QList<QStringList> TempTree::logRows() const {
    Connection connection(m_values);
    QList<QStringList> rows;
    for (Recordset log(connection, SqlText::selectAll(m_values.tbl_log) +
                                       u" ORDER BY 対象ファイル, 処理日時"_s);
         !log.eof(); log.moveNext()) {
        rows.append({log.field(u"対象ファイル"_s), log.field(u"タイムスタンプ"_s),
                     log.field(u"処理内容"_s), log.field(u"処理日時"_s)});
    }
    return rows;
}

QStringList TempTree::storedLogRows() const {
    return select(
        u"SELECT rowid, quote(対象ファイル), quote(タイムスタンプ), quote(処理内容), "
        u"quote(処理日時), typeof(対象ファイル) FROM day_log ORDER BY rowid"_s);
}

QStringList TempTree::select(const QString& sql) const {
    Connection connection(m_values);
    QSqlQuery query(connection.database());
    EXPECT_TRUE(query.exec(sql)) << sql.toStdString();
    QStringList rows;
    while (query.next()) {
        QStringList row;
        for (int i = 0; i < query.record().count(); ++i) {
            row << query.value(i).toString();
        }
        rows << row.join(u'|');
    }
    return rows;
}

QDateTime at(const QString& text) {
    return QDateTime::fromString(text, u"yyyy/MM/dd HH:mm:ss"_s);
}
