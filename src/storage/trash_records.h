#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class Connection;

// One file a run put in the trash, as its log row's correction records it: where it went and
// which file it was, so that Quillon empties only what it put there, and only that file.
struct TrashRecord {
    qint64 id = 0;
    QByteArray trash;  // the trash folder
    QByteArray name;   // the entry's name in its files/
    qint64 device = 0;
    qint64 inode = 0;
    qint64 size = 0;
    qint64 mtime = 0;
    QString trashed;  // the 処理日時 of the run that put it there
};

namespace TrashRecords {

// Creates the table (quillon_trash) where it is missing.
void ensureTable(Connection& connection);
// The statement that records one: row, run_id, trashed (the run's 処理日時), trash, name, device,
// inode, size, mtime.
QString recordText();
// Those put in the trash by runs whose 処理日時 is before `before`, oldest first.
QList<TrashRecord> trashedBefore(Connection& connection, const QString& before);
// Forgets one, once it is emptied or no longer there.
void forget(Connection& connection, qint64 id);

}  // namespace TrashRecords
