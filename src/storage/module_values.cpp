#include "storage/module_values.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

ModuleValues ModuleValues::forDirectory(const QString& directory) {
    return forDatabase(QDir(directory).filePath(kDatabaseFileName));
}

ModuleValues ModuleValues::forDatabase(const QString& path) {
    ModuleValues values;
    values.db_path = path;
    // mode=rw: an action never creates the file by accident; only the schema bootstrap does.
    values.cn_str =
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
        QStringLiteral("?mode=rw");
    values.tbl_rule = QStringLiteral("sweeprun");
    values.tbl_log = QStringLiteral("day_log");
    values.tbl_set = QStringLiteral("day_set");
    return values;
}
