#include "schedule/file_lister.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWithSuffix(std::string_view name, const QByteArray& lowerSuffix) {
    const auto suffixLength = static_cast<size_t>(lowerSuffix.size());
    if (name.size() < suffixLength) {
        return false;
    }
    const std::string_view tail = name.substr(name.size() - suffixLength);
    for (size_t i = 0; i < suffixLength; ++i) {
        if (asciiLower(tail[i]) != lowerSuffix[static_cast<qsizetype>(i)]) {
            return false;
        }
    }
    return true;
}

}  // namespace

Listing ReadDir(int directory, const QString& extension) {
    Listing listing;
    const QByteArray suffix = (QByteArrayLiteral(".") + QFile::encodeName(extension)).toLower();
    // A directory stream of its own: the descriptor stays the caller's.
    const int streamFd = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = streamFd < 0 ? nullptr : ::fdopendir(streamFd);
    if (dir == nullptr) {
        listing.error = errno;
        if (streamFd >= 0) {
            ::close(streamFd);
        }
        return listing;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            listing.error = errno;
            break;
        }
        const std::string_view name(entry->d_name);
        if (!endsWithSuffix(name, suffix) ||
            (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)) {
            continue;
        }
        struct stat info {};
        if (::fstatat(directory, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode)) {
            continue;  // gone since readdir, or not a plain file
        }
        listing.files.push_back(
            {info.st_mtim.tv_sec, info.st_dev, info.st_ino, listing.names.size(), name.size()});
        listing.names.insert(listing.names.end(), name.begin(), name.end());
        listing.names.push_back('\0');
    }
    ::closedir(dir);
    if (listing.error != 0) {
        listing.files.clear();
        listing.names.clear();
        return listing;
    }
    std::sort(listing.files.begin(), listing.files.end(),
              [&listing](const ListedFile& a, const ListedFile& b) {
                  if (a.mtime != b.mtime) {
                      return a.mtime < b.mtime;
                  }
                  return listing.nameView(a) < listing.nameView(b);
              });
    return listing;
}
