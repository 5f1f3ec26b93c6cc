#pragma once

#include <sys/stat.h>

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <map>
#include <mutex>

#include "disk/file_system.h"
#include "disk/unique_fd.h"

// The running user's trash, in the freedesktop.org layout file managers share, so a file
// manager lists what is in it and can put it back. A file goes to the trash of its own file
// system, never copied across: the home trash ($XDG_DATA_HOME/Trash) where it shares that file
// system, else $topdir/.Trash/$uid where $topdir/.Trash is a sticky folder and no link, else
// $topdir/.Trash-$uid. Every folder of it must be the user's own and no link; anything else
// is not used.
class Trash {
public:
    // `home`: the home trash folder; from the environment where none is given.
    explicit Trash(QByteArray home = {});

    // Puts `name` of `directory` into the trash: first its .trashinfo (Path `originalPath`,
    // DeletionDate `deletedAt`), under a name nothing in the trash has, then the file under the
    // same name in files/, never replacing anything. The file that arrives must be `expected`:
    // anything swapped in goes back, and the answer is ESTALE. Where no trash can be used, the
    // reason reads "ごみ箱に移せません：<why>" and the file stays.
    FileResult put(int directory, const char* name, const struct stat& expected,
                   const QByteArray& originalPath, const QDateTime& deletedAt, TrashEntry& entry);
    // Keeps a file that is about to be replaced: as put, but the trash gets another name of it
    // (a hard link), so the file stays under its own name until the replacement takes that.
    FileResult keep(int directory, const char* name, const struct stat& expected,
                    const QByteArray& originalPath, const QDateTime& deletedAt, TrashEntry& entry);
    // Takes a kept file's trash name and description out again: it was not replaced after all.
    void takeBack(const TrashEntry& entry);
    // Why a file of `directory` (on `device`) could not go to the trash, as put would find it,
    // but making nothing; empty where it could. A dry run asks it.
    QString problemFor(int directory, dev_t device);
    // Empties the entry, file and description, if its file is still `expected` (device, inode,
    // size and modification time): ENOENT when it is gone (put back or emptied by the user),
    // ESTALE when another file has its name, which then stays.
    FileResult remove(const TrashEntry& entry, const struct stat& expected);
    // Puts the entry's file back under `name` in targetDir, never replacing anything, if it is
    // still `expected`; its description goes. ENOENT when it is no longer in the trash, ESTALE
    // when another file has its name there, EEXIST when the name is taken in targetDir.
    FileResult restore(const TrashEntry& entry, const struct stat& expected, int targetDir,
                       const char* name);
    // The entry's file as it stands in the trash, changing nothing.
    FileResult stat(const TrashEntry& entry, struct stat& info);

private:
    struct Place {
        UniqueFd files;
        UniqueFd info;
        QByteArray path;
        QString problem;  // why this file system has no trash that can be used; empty if it has
    };
    const Place& placeFor(int directory, dev_t device);
    FileResult enter(int directory, const char* name, const struct stat& expected,
                     const QByteArray& originalPath, const QDateTime& deletedAt, bool asLink,
                     TrashEntry& entry);

    QByteArray m_home;
    std::mutex m_mutex;
    std::map<dev_t, Place> m_places;
};

// The .trashinfo text: "[Trash Info]", Path as percent-encoded bytes, DeletionDate in local time.
QByteArray trashInfo(const QByteArray& originalPath, const QDateTime& deletedAt);
