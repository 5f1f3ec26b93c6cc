#include "schedule/folder_checker.h"

#include <QFile>
#include <filesystem>
#include <system_error>

bool FolderExists(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    std::error_code error;  // an unreadable path counts as missing, never as an exception
    return std::filesystem::is_directory(QFile::encodeName(path).toStdString(), error);
}
