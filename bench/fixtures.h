#pragma once

// What the benchmark runs on: trees of old files, a database with one rule over them, and the
// command each tool runs on them.
#include <QString>
#include <QStringList>

// n files of the given size, modified in 2010, one second apart.
void makeTree(const QString& dir, int n, qsizetype size, const char* extension);
// n empty files with 250-byte names, modified now: young for any rule.
void makeYoungTree(const QString& dir, int n);
// A database with one rule over root/src (to root/dst) and a schedule of every day at 09:05.
QString makeDatabase(const QString& root, const QString& process, const char* extension);
// The command each tool runs on root/src (into root/dst), or nothing when the tool is missing:
// "quillon", "floor", "find", "tmpreaper" or "tmpfiles", for "delete", "move" or "copy".
QStringList toolCommand(const QString& tool, const QString& op, const QString& root,
                        const char* extension);
