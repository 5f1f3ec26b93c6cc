#pragma once

#include <QString>
#include <exception>
#include <string>

class QSqlError;

// A failed storage action: the user's message together with the driver's own text.
class StorageError : public std::exception {
public:
    // "データベースの処理に失敗しました（<reason>）"
    explicit StorageError(const QString& reason);
    static StorageError fromSql(const QSqlError& error);
    // "データベース <path> に <table> がありません": an existing file that is not ours.
    static StorageError missingTable(const QString& path, const QString& table);

    const QString& message() const { return m_message; }
    const QString& reason() const { return m_reason; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    StorageError(QString message, QString reason);

    QString m_message;
    QString m_reason;
    std::string m_what;
};
