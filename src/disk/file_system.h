#pragma once

#include <sys/stat.h>

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <map>
#include <memory>

#include "disk/file_lister.h"
#include "disk/safe_directory.h"

// What became of one file operation: errno 0 on success, else the error and its text.
struct FileResult {
    int error = 0;
    QString reason;

    bool ok() const { return error == 0; }
    static FileResult success() { return {}; }
    static FileResult fromErrno(int error);
};

// Where a trashed file went: its trash folder (with files/ and info/ inside) and its name in
// files/; its description is info/<name>.trashinfo.
struct TrashEntry {
    QByteArray trash;
    QByteArray name;
};

class Trash;

// The one way to the disk for the rules' files and directories, so a test can make any
// operation fail. Past a rule's directory, files are named by a directory descriptor and the
// name's bytes; no operation follows a symbolic link at the file or writes through one at the
// target.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // A rule's directory, reached the safe way (see openDirectorySafely).
    virtual OpenedDirectory openDirectory(const QByteArray& path, bool mayBePathOnly) = 0;
    // fstat of an open file or directory.
    virtual FileResult statOpen(int fd, struct stat& info) = 0;
    // The directory's files of the extension that `keep` keeps, oldest first (see ReadDir).
    // Shared, so that what stands between the run and the disk can keep it without a copy of a
    // million names.
    virtual std::shared_ptr<const Listing> listDirectory(int directory, const QString& extension,
                                                         const KeepFile& keep,
                                                         const std::function<void()>& progress) = 0;
    // Every name in the directory, of any kind (see ReadNames).
    virtual DirectoryNames listNames(int directory) = 0;
    // Removes the copy temporaries that dead writers left in the directory (see CopyTemporary).
    virtual void removeDeadTemporaries(int directory) = 0;
    // fstatat without following a link.
    virtual FileResult statAt(int directory, const char* name, struct stat& info) = 0;
    // Whether this process may create and remove names in the directory.
    virtual bool mayWriteIn(int directory) = 0;
    // Copies `name` from sourceDir to the same name in targetDir as cp -p would (see fillCopy):
    // the whole copy is written under a temporary name there, then renamed over the target, so
    // the target is never left partly written. The file opened must still be `expected`
    // (device and inode), or nothing is written and the answer is ESTALE.
    virtual FileResult copyFile(int sourceDir, const char* name, const struct stat& expected,
                                int targetDir) = 0;
    // Moves `name` to targetDir on another file system: a durable copy with the extended
    // attributes too, and the source removed only if it is still exactly what was copied.
    // Before the copy goes into place the source's name is claimed (renamed aside), so the
    // file cannot change or be replaced unseen in between. ESTALE, with nothing changed, when
    // the file changed or was replaced during the copy; any other failure leaves the file where
    // it was, once.
    virtual FileResult moveAcross(int sourceDir, const char* name, const struct stat& expected,
                                  int targetDir) = 0;
    // The names to give back, by the identity (device, inode) of the file that had them.
    using ClaimedNames = std::map<std::pair<dev_t, ino_t>, QByteArray>;
    // Gives each move's source that a killed run left in the directory under its claim its name
    // back, found by its identity, unless another file has taken the name meanwhile.
    virtual void restoreMoveClaims(int directory, const ClaimedNames& names) = 0;
    // renameat(2) to the same name in targetDir: with `replace` over what stands there, else
    // EEXIST where something does; EXDEV across file systems. What arrives must be `expected`
    // (device and inode): anything swapped in under the name since it was checked goes back to
    // sourceDir, and the answer is ESTALE.
    virtual FileResult renameFile(int sourceDir, const char* name, const struct stat& expected,
                                  int targetDir, bool replace) = 0;
    virtual FileResult removeFile(int directory, const char* name) = 0;
    // Moves `name` of `directory`, as just checked (`expected`), into the running user's trash
    // on its file system, described as `originalPath` trashed at `deletedAt` (see Trash::put).
    virtual FileResult trashFile(int directory, const char* name, const struct stat& expected,
                                 const QByteArray& originalPath, const QDateTime& deletedAt,
                                 TrashEntry& entry) = 0;
    // Keeps in the trash the file a copy or move is about to replace (see Trash::keep), and
    // takes it out again where the file was not replaced after all.
    virtual FileResult keepInTrash(int directory, const char* name, const struct stat& expected,
                                   const QByteArray& originalPath, const QDateTime& deletedAt,
                                   TrashEntry& entry) = 0;
    virtual void takeBackFromTrash(const TrashEntry& entry) = 0;
    // "ごみ箱に移せません：<why>" where a file of `directory` (on `device`) could not go to the
    // trash; empty where it could. Changes nothing (see Trash::problemFor).
    virtual QString trashProblem(int directory, dev_t device) = 0;
    // The entry's file as it stands in the trash, changing nothing (see Trash::stat).
    virtual FileResult statTrashed(const TrashEntry& entry, struct stat& info) = 0;
    // Puts a file back from the trash (see Trash::restore).
    virtual FileResult restoreFromTrash(const TrashEntry& entry, const struct stat& expected,
                                        int targetDir, const char* name) = 0;
    // Empties one entry put in the trash, if its file is still `expected` (see Trash::remove).
    virtual FileResult emptyTrashed(const TrashEntry& entry, const struct stat& expected) = 0;

    // Moves `name` from sourceDir to the same name in targetDir: a rename, or across file
    // systems moveAcross. `info` is the source as just checked. A target that is another name
    // of the same file already holds the data, so only the source name is removed. Without
    // `replace`, only a rename onto a free name is tried: EEXIST where the name is taken, EXDEV
    // across file systems, and nothing changed. The caller makes sure the target directory is
    // not the source directory reached another way.
    FileResult moveFile(int sourceDir, const char* name, const struct stat& info, int targetDir,
                        bool replace = true);
};

class PosixFileSystem : public FileSystem {
public:
    // The home trash is found from the environment ($XDG_DATA_HOME, else $HOME/.local/share).
    PosixFileSystem();
    ~PosixFileSystem() override;

    OpenedDirectory openDirectory(const QByteArray& path, bool mayBePathOnly) override;
    FileResult statOpen(int fd, struct stat& info) override;
    std::shared_ptr<const Listing> listDirectory(int directory, const QString& extension,
                                                 const KeepFile& keep,
                                                 const std::function<void()>& progress) override;
    DirectoryNames listNames(int directory) override;
    void removeDeadTemporaries(int directory) override;
    FileResult statAt(int directory, const char* name, struct stat& info) override;
    bool mayWriteIn(int directory) override;
    FileResult copyFile(int sourceDir, const char* name, const struct stat& expected,
                        int targetDir) override;
    FileResult moveAcross(int sourceDir, const char* name, const struct stat& expected,
                          int targetDir) override;
    void restoreMoveClaims(int directory, const ClaimedNames& names) override;
    FileResult renameFile(int sourceDir, const char* name, const struct stat& expected,
                          int targetDir, bool replace) override;
    FileResult removeFile(int directory, const char* name) override;
    FileResult trashFile(int directory, const char* name, const struct stat& expected,
                         const QByteArray& originalPath, const QDateTime& deletedAt,
                         TrashEntry& entry) override;
    FileResult keepInTrash(int directory, const char* name, const struct stat& expected,
                           const QByteArray& originalPath, const QDateTime& deletedAt,
                           TrashEntry& entry) override;
    void takeBackFromTrash(const TrashEntry& entry) override;
    QString trashProblem(int directory, dev_t device) override;
    FileResult restoreFromTrash(const TrashEntry& entry, const struct stat& expected, int targetDir,
                                const char* name) override;
    FileResult statTrashed(const TrashEntry& entry, struct stat& info) override;
    FileResult emptyTrashed(const TrashEntry& entry, const struct stat& expected) override;

protected:
    // Called once a move's data is written and before its source is checked and claimed: the
    // moment another program's change to the file is hardest to see.
    virtual void moveCopied(const char* /*name*/) {}

private:
    std::unique_ptr<Trash> m_trash;
};

// Same device and inode.
inline bool sameIdentity(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
