#pragma once

#include <QString>

// One row of the rule table, every field trimmed.
struct Rule {
    QString order;        // 順序
    QString source;       // 元ディレクトリ
    QString destination;  // 先ディレクトリ
    QString extension;    // 拡張子
    QString retention;    // 残存日数
    QString process;      // 処理
};
