#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QString>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One listed file: its time, identity and owner, and where its name stands in the listing's
// names.
// 48 bytes: a million files' listing is 48 MB of these and their names.
struct ListedFile {
    qint64 mtime;  // modification time, seconds since the epoch
    qint64 size;
    dev_t device;
    ino_t inode;
    uint32_t nameOffset;  // a listing's names stay below 4 GiB (see ReadDir)
    uid_t owner = 0;
    gid_t group = 0;
    uint16_t mode = 0;      // st_mode: a file's type and permission bits take 16
    uint16_t nameSize = 0;  // a name is at most NAME_MAX bytes
};

struct Listing {
    std::vector<ListedFile> files;  // oldest first; equal times by name
    std::vector<char> names;        // every name's bytes, each followed by a NUL
    int error = 0;                  // errno when the directory could not be read

    // The name as its directory gave it, NUL-terminated for the system calls.
    const char* name(const ListedFile& file) const { return names.data() + file.nameOffset; }
    std::string_view nameView(const ListedFile& file) const { return {name(file), file.nameSize}; }
};

// Which of the files a listing finds it keeps, by their modification time (seconds since the
// epoch); every one where none is given.
using KeepFile = std::function<bool(qint64 mtime)>;

// The regular files of the open directory whose name ends in ".<extension>", the extension
// compared without regard to ASCII letter case, and that `keep` keeps. Directories and symbolic
// links are never listed, and subdirectories are not entered. Names stay the bytes the
// directory gave. The names are looked at a slice at a time and what is not kept is let go at
// once, so a folder of a million files the run leaves costs it little more than an empty one.
// `progress`, when given, is called every so many entries, so a window can repaint meanwhile.
// A folder whose kept names would pass 4 GiB is not listed (ENOMEM).
// Where the file system reports no entry types (some network and FUSE ones), or `types` says to
// ignore them, each entry's own status alone tells a file from a link or a folder.
enum class EntryTypes { Reported, Ignored };
Listing ReadDir(int directory, const QString& extension, const KeepFile& keep = {},
                const std::function<void()>& progress = {},
                EntryTypes types = EntryTypes::Reported);

// Every name in the open directory, of any kind, "." and ".." left out, sorted by their bytes;
// `error` is errno when it could not be read.
struct DirectoryNames {
    std::vector<std::string> names;
    int error = 0;
};
DirectoryNames ReadNames(int directory);

// What a listing matches names against: "." and the extension, in lower case.
QByteArray listedSuffix(const QString& extension);
// Whether the name ends in the suffix, ASCII letters compared without regard to case.
bool hasListedSuffix(std::string_view name, const QByteArray& lowerSuffix);
// Puts a listing's files in its order: oldest first, equal times by name.
void sortListing(Listing& listing);
