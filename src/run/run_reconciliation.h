#pragma once

#include <QList>
#include <QString>

#include "storage/rule_row.h"

class Connection;
class FileSystem;

// The rules a run applies, as its record keeps them for the check of an unfinished run.
QString rulesText(const QList<Rule>& rules);
// The rules back from that text: source, destination and process of each.
QList<Rule> parseRules(const QString& text);

// Brings the log of every run that did not finish (killed, or stopped by a storage failure)
// into line with the disk, before a new run: a 削除 or 移動 row whose file still stands at its
// source is removed (the same file by its recorded identity, appended to or not), as is a 複写
// row whose copy is not in the destination. A move's source left aside under its claim is first
// given its name back. A row
// whose file cannot be looked at is kept: no row of a handled file is lost. Each run is checked
// once. Throws StorageError.
void reconcileUnfinishedRuns(Connection& connection, const QString& logTable, FileSystem& fs);
