#pragma once

#include <sqlite3.h>

#include <QString>

class Connection;
class StorageError;

// The connection's own SQLite handle: rows go to and come from SQLite straight, which costs a
// fraction of what the same rows cost through Qt's values, so a run's million rows keep pace
// with its files. Throws StorageError when the connection is not SQLite's.
sqlite3* sqliteHandle(Connection& connection);
StorageError sqliteError(sqlite3* handle);

// One prepared statement, finalized with its scope. Throws StorageError when it cannot be made.
class Statement {
public:
    Statement(sqlite3* handle, const QString& sql);
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_statement; }

private:
    sqlite3_stmt* m_statement = nullptr;
};
