#pragma once

#include <QByteArray>

#include "disk/unique_fd.h"

// A rule's directory, opened.
struct OpenedDirectory {
    enum class Status {
        Open,
        Missing,  // a step of the path is missing, not a directory, or may not be searched
        Unsafe,   // a step leads from a folder of another user to something they do not own
        Failed,   // reached, but could not be opened (`error`)
    };
    Status status = Status::Missing;
    int error = 0;
    UniqueFd fd;
};

// Opens the directory one path step at a time, following links itself. A step from a folder
// owned by someone other than root and the running user into a folder or link owned by anyone
// else is refused, and so is every link owned by someone other than root and the running user,
// wherever it stands: nobody can point a run at a place they could not reach themselves. With
// mayBePathOnly, a directory that may be written but not listed is held for its path alone
// (O_PATH), which is all openat and renameat need.
OpenedDirectory openDirectorySafely(const QByteArray& path, bool mayBePathOnly);
