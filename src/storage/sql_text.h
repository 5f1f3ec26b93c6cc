#pragma once

#include <QString>
#include <QStringList>

// The statements, assembled from their fixed fragments. Values placed in quoted literals pass
// through QuoteSql here, so no caller can forget it.
namespace SqlText {

// "SELECT * FROM <table>"
QString selectAll(const QString& table);
// "SELECT * FROM <table> ORDER BY 順序"
QString selectOrdered(const QString& table);
// "SELECT * FROM <table> ORDER BY タイムスタンプ DESC"
QString selectLog(const QString& table);
// "SELECT * FROM <table> WHERE 順序 < '<order>'", the order quoted.
QString selectBefore(const QString& table, const QString& order);
// "DELETE FROM <table>"
QString deleteAll(const QString& table);
// "DELETE FROM <table> WHERE 処理日時 < '<cutoff>'"; the cutoff holds only digits and
// separators and is placed unchanged.
QString deleteLogBefore(const QString& table, const QString& cutoff);
// "INSERT INTO <table> VALUES ( '<v1>','<v2>',…,'<vN>' );", every value quoted.
QString insertValues(const QString& table, const QStringList& values);

}  // namespace SqlText
