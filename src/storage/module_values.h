#pragma once

#include <QString>

// The name of the database file wherever it lives.
inline const QString kDatabaseFileName = QStringLiteral("sweeprun.db");

// Where the database lives and what its tables are called; fixed once at start-up.
struct ModuleValues {
    QString db_path;
    QString cn_str;  // what the SQLite driver is given to open db_path
    QString tbl_rule;
    QString tbl_log;
    QString tbl_set;

    // The values for the database file kDatabaseFileName inside the given directory.
    static ModuleValues forDirectory(const QString& directory);
    // The values for a database file at an explicit path.
    static ModuleValues forDatabase(const QString& path);
};
