#include "storage/storage_error.h"

#include <QSqlError>

using namespace Qt::StringLiterals;

StorageError::StorageError(QString message, QString reason)
    : m_message(std::move(message)), m_reason(std::move(reason)), m_what(m_message.toStdString()) {}

StorageError::StorageError(const QString& reason)
    : StorageError(u"データベースの処理に失敗しました（"_s + reason + u"）"_s, reason) {}

StorageError StorageError::fromSql(const QSqlError& error) {
    QString reason = error.text().trimmed();
    if (reason.isEmpty()) {
        reason = QStringLiteral("unknown driver error");
    }
    return StorageError(reason);
}

StorageError StorageError::missingTable(const QString& path, const QString& table) {
    return StorageError(u"データベース "_s + path + u" に "_s + table + u" がありません"_s, table);
}
