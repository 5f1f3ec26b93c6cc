#pragma once

#include <QString>
#include <QStringList>

// The statements, assembled from their fixed fragments. Values placed in quoted literals pass
// through QuoteSql here, so no caller can forget it.
namespace SqlText {

// "SELECT * FROM <table>"
QString selectAll(const QString& table);
// "SELECT COUNT(*) FROM <table>"
QString countAll(const QString& table);
// "<select> LIMIT <rows> OFFSET <offset>": one page of an ordered query.
QString page(const QString& select, int rows, qint64 offset);
// "SELECT * FROM <table> ORDER BY 順序"
QString selectOrdered(const QString& table);
// "SELECT * FROM <table> ORDER BY タイムスタンプ DESC"
// With a filter's " WHERE …", only its rows, in the same order.
QString selectLog(const QString& table, const QString& where = {});
// "SELECT * FROM <table> WHERE 順序 < '<order>'", the order quoted.
QString selectBefore(const QString& table, const QString& order);
// "SELECT 順序 FROM <table> ORDER BY 順序 DESC" or "… ORDER BY 順序".
QString selectOrders(const QString& table, bool descending);
// " WHERE 元ディレクトリ = '<s>' AND 先ディレクトリ = '<d>' AND 拡張子 = '<e>' AND 残存日数 = '<r>'
// AND 処理 = '<p>'", every value quoted: a rule found by its content.
QString ruleMatch(const QString& source, const QString& destination, const QString& extension,
                  const QString& retention, const QString& process);
// "DELETE FROM <table>"
QString deleteAll(const QString& table);
// "DELETE FROM <table> WHERE 処理日時 < '<cutoff>'"; the cutoff holds only digits and
// separators and is placed unchanged.
QString deleteLogBefore(const QString& table, const QString& cutoff);
// "DELETE FROM <table> WHERE 順序 = '<order>'", the order quoted.
QString deleteOrder(const QString& table, const QString& order);
// "UPDATE <table> SET 順序 = '<new>' WHERE 順序 = '<old>'". The stored old number is quoted
// too: it holds only digits unless someone edited the table by hand.
QString renumberOrder(const QString& table, const QString& newOrder, const QString& oldOrder);
// "UPDATE <table> SET 順序 = '<new>'" followed by a rule match.
QString renumberMatch(const QString& table, const QString& newOrder, const QString& match);
// "INSERT INTO <table> VALUES ( ?,?,?,? )": the per-file log row with its values bound, storing
// exactly what insertValues would.
QString insertLogPrepared(const QString& table);
// "UPDATE <table> SET 処理内容 = '<process>' WHERE rowid = <rowid> AND 対象ファイル = '<path>'":
// a run's own row, found by the row id it was given and checked by its path.
QString updateLogProcess(const QString& table, qint64 rowid, const QString& path,
                         const QString& process);
// "DELETE FROM <table> WHERE rowid = <rowid> AND 対象ファイル = '<path>'"
QString deleteLogRow(const QString& table, qint64 rowid, const QString& path);
// "INSERT <table> VALUES ( '<v1>','<v2>',…,'<vN>' );", every value quoted.
QString insertValues(const QString& table, const QStringList& values);

}  // namespace SqlText
