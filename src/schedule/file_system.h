#pragma once

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
// No operation follows a symbolic link at the source or writes through one at the target.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True when both paths exist and name the same file or directory (same device and inode),
    // however each is reached.
    virtual bool sameFile(const QString& a, const QString& b) = 0;
    // Writes a whole copy under a temporary name beside the target, with the source's
    // modification time and permission bits, then renames it over the target. With durable,
    // the copy is on disk before this returns. The target is never left partly written.
    virtual FileResult copyFile(const QString& source, const QString& target, bool durable) = 0;
    // rename(2): replaces the target; fails with EXDEV across file systems.
    virtual FileResult renameFile(const QString& source, const QString& target) = 0;
    virtual FileResult removeFile(const QString& path) = 0;
};

class PosixFileSystem : public FileSystem {
public:
    bool sameFile(const QString& a, const QString& b) override;
    FileResult copyFile(const QString& source, const QString& target, bool durable) override;
    FileResult renameFile(const QString& source, const QString& target) override;
    FileResult removeFile(const QString& path) override;
};
