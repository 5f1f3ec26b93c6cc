#include "schedule/file_lister.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWithSuffix(const char* name, size_t length, const QByteArray& lowerSuffix) {
    const auto suffixLength = static_cast<size_t>(lowerSuffix.size());
    if (length < suffixLength) {
        return false;
    }
    const char* tail = name + (length - suffixLength);
    for (size_t i = 0; i < suffixLength; ++i) {
        if (asciiLower(tail[i]) != lowerSuffix[static_cast<qsizetype>(i)]) {
            return false;
        }
    }
    return true;
}

QString stampText(time_t seconds) {
    struct tm local {};
    localtime_r(&seconds, &local);
    char text[96];  // room for any int the compiler can imagine
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return QString::fromLatin1(text);
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

Listing ReadDir(const QString& directory, const QString& extension) {
    Listing listing;
    const QByteArray suffix = (QByteArrayLiteral(".") + QFile::encodeName(extension)).toLower();
    DIR* dir = opendir(QFile::encodeName(directory).constData());
    if (dir == nullptr) {
        listing.error = errnoText(errno);
        return listing;
    }
    const int dirFd = dirfd(dir);
    int readError = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            readError = errno;
            break;
        }
        const size_t length = std::strlen(entry->d_name);
        if (!endsWithSuffix(entry->d_name, length, suffix) ||
            (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)) {
            continue;
        }
        struct stat info {};
        if (fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode)) {
            continue;  // gone since readdir, or not a plain file
        }
        listing.entries.append(
            stampText(info.st_mtim.tv_sec) + u' ' +
            QFile::decodeName(QByteArray(entry->d_name, static_cast<qsizetype>(length))));
    }
    closedir(dir);
    if (readError != 0) {
        listing.entries.clear();
        listing.error = errnoText(readError);
        return listing;
    }
    // The stamp has a fixed width, so whole-entry order is stamp order, then name order.
    std::sort(listing.entries.begin(), listing.entries.end());
    return listing;
}
