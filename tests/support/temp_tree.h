#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "storage/module_values.h"
#include "support/qt_printers.h"

// A temporary directory holding a fresh database and the directories and files a test needs.
class TempTree {
public:
    TempTree();

    QString path(const QString& relative = {}) const;
    // Creates the directory (and its parents) and returns its path.
    QString dir(const QString& relative) const;
    // Writes the file with the given content and modification time; returns its path.
    QString file(const QString& relative, const QByteArray& content, const QDateTime& mtime) const;
    static QDateTime mtime(const QString& path);
    static QByteArray read(const QString& path);

    const ModuleValues& values() const { return m_values; }
    void addRule(const QStringList& row) const;  // 順序, 元, 先, 拡張子, 残存日数, 処理
    void addLogRow(const QStringList& row) const;
    QList<QStringList> logRows() const;  // ordered by 対象ファイル, then 処理日時
    // Every row as SQLite holds it, "rowid|quote(each value)|typeof(対象ファイル)", by rowid:
    // what two ways of writing rows must agree on to the byte.
    QStringList storedLogRows() const;
    // Each row the statement yields, its values joined by "|".
    QStringList select(const QString& sql) const;

private:
    QTemporaryDir m_dir;
    ModuleValues m_values;
};

// "yyyy/MM/dd HH:mm:ss" in local time.
QDateTime at(const QString& text);
