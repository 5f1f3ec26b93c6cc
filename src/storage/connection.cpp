#include "storage/connection.h"

#include <QSqlError>
#include <QSqlRecord>
#include <atomic>

#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

namespace {

QString uniqueConnectionName() {
    static std::atomic<quint64> counter{0};
    return u"quillon-"_s + QString::number(++counter);
}

// Trims blanks the way the stored texts were written: spaces only at either end.
QString trimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') {
        ++begin;
    }
    while (end > begin && text[end - 1] == u' ') {
        --end;
    }
    return text.mid(begin, end - begin);
}

}  // namespace

Connection::Connection(const ModuleValues& values) : m_name(uniqueConnectionName()) {
    m_db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
    m_db.setDatabaseName(values.cn_str);
    m_db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=10000"_s);
    if (!m_db.open()) {
        const StorageError error = StorageError::fromSql(m_db.lastError());
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw error;
    }
    try {
        // Every committed log row must survive a power cut before its file is touched.
        Execute(u"PRAGMA synchronous=FULL"_s);
    } catch (...) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw;
    }
}

Connection::~Connection() {
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

QSqlQuery Connection::bound(const QString& sql, const QVariantList& values) {
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        throw StorageError::fromSql(query.lastError());
    }
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        throw StorageError::fromSql(query.lastError());
    }
    return query;
}

void Connection::Execute(const QString& sql) {
    QSqlQuery query(m_db);
    if (!query.exec(sql)) {
        throw StorageError::fromSql(query.lastError());
    }
}

void Connection::begin() {
    if (!m_db.transaction()) {
        throw StorageError::fromSql(m_db.lastError());
    }
}

void Connection::commit() {
    if (!m_db.commit()) {
        throw StorageError::fromSql(m_db.lastError());
    }
}

void Connection::rollback() noexcept {
    m_db.rollback();
}

Recordset::Recordset(Connection& connection, const QString& sql) : m_query(connection.database()) {
    m_query.setForwardOnly(true);
    if (!m_query.exec(sql)) {
        throw StorageError::fromSql(m_query.lastError());
    }
    moveNext();
}

void Recordset::moveNext() {
    m_eof = !m_query.next();
    if (m_eof && m_query.lastError().isValid()) {
        throw StorageError::fromSql(m_query.lastError());
    }
}

QString Recordset::field(const QString& column) const {
    const int index = m_query.record().indexOf(column);
    if (index < 0) {
        throw StorageError(u"no column "_s + column);
    }
    return trimSpaces(m_query.value(index).toString());
}

Transaction::Transaction(Connection& connection) : m_connection(connection) {
    m_connection.begin();
}

Transaction::~Transaction() {
    if (m_open) {
        m_connection.rollback();
    }
}

void Transaction::commit() {
    m_connection.commit();
    m_open = false;
}
