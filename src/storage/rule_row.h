#pragma once

#include <QList>
#include <QString>

class Connection;

// The 処理 captions: what a rule does with its old files.
inline const QString kCopyProcess = QStringLiteral("複写");
inline const QString kMoveProcess = QStringLiteral("移動");
inline const QString kDeleteProcess = QStringLiteral("削除");

// One row of the rule table, every field trimmed; the editor's rule has no order yet.
struct Rule {
    QString order;        // 順序
    QString source;       // 元ディレクトリ
    QString destination;  // 先ディレクトリ
    QString extension;    // 拡張子
    QString retention;    // 残存日数
    QString process;      // 処理: one of the captions above, or empty when none is chosen

    // Copies or moves, so it has a destination.
    bool copies() const { return process == kCopyProcess || process == kMoveProcess; }
    // Everything but the order is the same.
    bool sameSettings(const Rule& other) const;
};

// Every rule, by 順序. Throws StorageError.
QList<Rule> readRules(Connection& connection, const QString& table);
