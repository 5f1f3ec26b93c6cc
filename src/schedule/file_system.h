#pragma once

#include <sys/stat.h>

#include <QString>

// What became of one file operation: errno 0 on success, else the error and its text.
struct FileResult {
    int error = 0;
    QString reason;

    bool ok() const { return error == 0; }
    static FileResult success() { return {}; }
    static FileResult fromErrno(int error);
};

// The narrow interface between the run and the disk, so a test can make one operation fail.
// Files are named by a directory descriptor and the name's bytes; no operation follows a
// symbolic link at the file or writes through one at the target.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True when both paths exist and name the same file or directory (same device and inode),
    // however each is reached.
    virtual bool sameFile(const QString& a, const QString& b) = 0;
    // fstatat without following a link.
    virtual FileResult statAt(int directory, const char* name, struct stat& info) = 0;
    // Copies `name` from sourceDir to the same name in targetDir: the whole copy is written
    // under a temporary name there, with the source's modification time and permission bits,
    // then renamed over the target, so the target is never left partly written. The file
    // opened must still be `expected` (device and inode), or nothing is written. With durable,
    // the copy is on disk before this returns.
    virtual FileResult copyFile(int sourceDir, const char* name, const struct stat& expected,
                                int targetDir, bool durable) = 0;
    // renameat(2) to the same name in targetDir: replaces the target; EXDEV across file systems.
    virtual FileResult renameFile(int sourceDir, const char* name, int targetDir) = 0;
    virtual FileResult removeFile(int directory, const char* name) = 0;
};

class PosixFileSystem : public FileSystem {
public:
    bool sameFile(const QString& a, const QString& b) override;
    FileResult statAt(int directory, const char* name, struct stat& info) override;
    FileResult copyFile(int sourceDir, const char* name, const struct stat& expected, int targetDir,
                        bool durable) override;
    FileResult renameFile(int sourceDir, const char* name, int targetDir) override;
    FileResult removeFile(int directory, const char* name) override;
};

// Same device and inode.
inline bool sameIdentity(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
