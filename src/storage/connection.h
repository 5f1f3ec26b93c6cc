#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include "storage/module_values.h"

// One database connection for one action: opened in the constructor, closed in the destructor.
// Every failure throws StorageError.
class Connection {
public:
    explicit Connection(const ModuleValues& values);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Applies one statement at once; rows it yields are discarded.
    void Execute(const QString& sql);
    // Runs one statement with `values` bound in their order, forward only; its rows to read.
    QSqlQuery bound(const QString& sql, const QVariantList& values = {});

    void begin();
    void commit();
    void rollback() noexcept;

    QSqlDatabase& database() { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
};

// A forward-only, read-only pass over a query's rows. Lives inside its Connection's scope.
class Recordset {
public:
    Recordset(Connection& connection, const QString& sql);

    bool eof() const { return m_eof; }
    void moveNext();
    // The column's stored text, without leading and trailing spaces.
    QString field(const QString& column) const;

private:
    QSqlQuery m_query;
    bool m_eof = true;
};

// Rolls back unless committed, so a failure part-way leaves the tables as they were.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Connection& m_connection;
    bool m_open = true;
};
