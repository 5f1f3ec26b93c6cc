#include "disk/file_lister.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <thread>

namespace {

constexpr size_t kProgressEvery = 1024;     // entries between two calls of the progress callback
constexpr size_t kSharedFrom = 8192;        // from this many names, two threads stat them
constexpr size_t kSlice = 2 * kSharedFrom;  // names read before they are stat'ed and sifted
static_assert(sizeof(ListedFile) == 48, "a listed file's fields lie without holes");
constexpr uint16_t kNotAFile = uint16_t(-1);  // nameSize of an entry that is not listed after all

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

QByteArray listedSuffix(const QString& extension) {
    return (QByteArrayLiteral(".") + QFile::encodeName(extension)).toLower();
}

bool hasListedSuffix(std::string_view name, const QByteArray& lowerSuffix) {
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

namespace {

// Fills in time and identity of files[first, last), marking what is gone or no plain file.
void statRange(int directory, Listing& listing, size_t first, size_t last,
               const std::function<void()>& progress) {
    for (size_t i = first; i < last; ++i) {
        ListedFile& file = listing.files[i];
        struct stat info {};
        if (::fstatat(directory, listing.name(file), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode)) {
            file.nameSize = kNotAFile;  // gone since readdir, or not a plain file
        } else {
            file.mtime = info.st_mtim.tv_sec;
            file.size = info.st_size;
            file.device = info.st_dev;
            file.inode = info.st_ino;
            file.owner = info.st_uid;
            file.group = info.st_gid;
            file.mode = static_cast<uint16_t>(info.st_mode);
        }
        if (progress && (i - first) % kProgressEvery == kProgressEvery - 1) {
            progress();
        }
    }
}

// Calls `each` with the name of every entry of the open directory, "." and ".." too, through a
// stream of its own, so the descriptor stays the caller's. Returns errno, 0 when all was read.
template <class Each>
int readEntries(int directory, Each each) {
    const int streamFd = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = streamFd < 0 ? nullptr : ::fdopendir(streamFd);
    if (dir == nullptr) {
        const int error = errno;
        if (streamFd >= 0) {
            ::close(streamFd);
        }
        return error;
    }
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            error = errno;
            break;
        }
        each(*entry);
    }
    ::closedir(dir);
    return error;
}

// Stats files[first, end) (on two threads where there are many), then lets go of every one of
// them that is gone, no plain file or not kept, names included.
void settle(int directory, Listing& listing, size_t first, const KeepFile& keep,
            const std::function<void()>& progress) {
    const size_t end = listing.files.size();
    if (end - first >= kSharedFrom) {
        // The stat of every name is most of a listing's cost; a second core halves it.
        const size_t half = first + (end - first) / 2;
        std::thread helper(statRange, directory, std::ref(listing), half, end,
                           std::function<void()>());
        statRange(directory, listing, first, half, progress);
        helper.join();
    } else {
        statRange(directory, listing, first, end, progress);
    }
    size_t kept = first;
    size_t nameEnd = first < end ? listing.files[first].nameOffset : listing.names.size();
    for (size_t i = first; i < end; ++i) {
        ListedFile file = listing.files[i];
        if (file.nameSize == kNotAFile || (keep && !keep(file.mtime))) {
            continue;
        }
        std::memmove(listing.names.data() + nameEnd, listing.name(file), file.nameSize + 1);
        file.nameOffset = static_cast<uint32_t>(nameEnd);
        nameEnd += file.nameSize + 1;
        listing.files[kept++] = file;
    }
    listing.files.resize(kept);
    listing.names.resize(nameEnd);
}

}  // namespace

Listing ReadDir(int directory, const QString& extension, const KeepFile& keep,
                const std::function<void()>& progress, EntryTypes types) {
    Listing listing;
    const QByteArray suffix = listedSuffix(extension);
    size_t settled = 0;  // files before it are stat'ed and kept
    bool tooMany = false;
    listing.error = readEntries(directory, [&](const dirent& entry) {
        const std::string_view name(entry.d_name);
        const unsigned char type =
            types == EntryTypes::Reported ? entry.d_type : static_cast<unsigned char>(DT_UNKNOWN);
        if (!hasListedSuffix(name, suffix) || (type != DT_REG && type != DT_UNKNOWN) || tooMany) {
            return;
        }
        if (listing.names.size() + name.size() + 1 > std::numeric_limits<uint32_t>::max()) {
            tooMany = true;
            return;
        }
        listing.files.push_back({0, 0, 0, 0, static_cast<uint32_t>(listing.names.size()), 0, 0, 0,
                                 static_cast<uint16_t>(name.size())});
        listing.names.insert(listing.names.end(), name.begin(), name.end());
        listing.names.push_back('\0');
        if (progress && listing.files.size() % kProgressEvery == 0) {
            progress();
        }
        if (listing.files.size() - settled == kSlice) {
            settle(directory, listing, settled, keep, progress);
            settled = listing.files.size();
        }
    });
    if (listing.error != 0 || tooMany) {
        return Listing{{}, {}, tooMany ? ENOMEM : listing.error};
    }
    settle(directory, listing, settled, keep, progress);
    sortListing(listing);
    return listing;
}

void sortListing(Listing& listing) {
    std::sort(listing.files.begin(), listing.files.end(),
              [&listing](const ListedFile& a, const ListedFile& b) {
                  if (a.mtime != b.mtime) {
                      return a.mtime < b.mtime;
                  }
                  return listing.nameView(a) < listing.nameView(b);
              });
}

DirectoryNames ReadNames(int directory) {
    DirectoryNames read;
    read.error = readEntries(directory, [&read](const dirent& entry) {
        const std::string_view name(entry.d_name);
        if (name != "." && name != "..") {
            read.names.emplace_back(name);
        }
    });
    std::sort(read.names.begin(), read.names.end());
    return read;
}
