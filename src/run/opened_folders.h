#pragma once

#include <QFile>
#include <QString>
#include <map>

#include "disk/file_system.h"
#include "disk/unique_fd.h"

// The folders a check or an undo works in, each opened once, the safe way, and held for its
// whole length.
class OpenedFolders {
public:
    explicit OpenedFolders(FileSystem& fs) : m_fs(fs) {}

    // The folder's descriptor; -1 when it cannot be opened.
    int open(const QString& path) {
        auto found = m_open.find(path);
        if (found == m_open.end()) {
            OpenedDirectory opened = m_fs.openDirectory(QFile::encodeName(path), false);
            found = m_open.emplace(path, std::move(opened.fd)).first;
        }
        return found->second.valid() ? found->second.get() : -1;
    }

private:
    FileSystem& m_fs;
    std::map<QString, UniqueFd> m_open;
};
