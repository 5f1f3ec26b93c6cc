#pragma once

#include <QByteArray>

#include "disk/unique_fd.h"

// A copy being written, under a name of its own in the target directory. The writer holds an
// exclusive flock(2) on it for as long as it lives, and the kernel drops that lock when the
// writer dies, so a later run can tell a dead writer's temporary from a live one's.
class CopyTemporary {
public:
    explicit CopyTemporary(int directory);
    ~CopyTemporary();  // removes the temporary unless it was committed
    CopyTemporary(const CopyTemporary&) = delete;
    CopyTemporary& operator=(const CopyTemporary&) = delete;

    bool valid() const { return m_fd.valid(); }
    int error() const { return m_error; }
    int fd() const { return m_fd.get(); }
    // Renames the whole copy over `name`; returns errno, 0 on success.
    int commit(const char* name);

private:
    int m_directory;
    QByteArray m_name;
    UniqueFd m_fd;
    int m_error = 0;
    bool m_committed = false;
};

// Removes the temporaries in the directory that this user's dead writers left, and nothing else.
void removeDeadTemporaries(int directory);

// `length` random letters and digits, drawn from the kernel's generator, so that nobody can
// tell in advance the name the run will give a temporary or a claim.
QByteArray randomText(size_t length);
