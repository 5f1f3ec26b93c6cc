// The floors a maintenance run is measured against: what the kernel needs for the same files,
// with no log.
//   floor delete|move SRC EXT [DST]
//     lists the directory, stats each file relative to its descriptor, then unlinks or renames it
//     relative to the directory descriptors;
//   floor --safe delete|move SRC EXT [DST]
//     the least a run that orders and re-checks can do: the same listing and stat, the files
//     sorted oldest first, each stated again just before it is unlinked or renamed;
//   floor --checked move SRC EXT DST
//     the safe floor of a move that also looks, right after each rename, at what landed (device
//     and inode), as a run that renames by name must to know it moved what it checked.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Listed {
    std::string name;
    timespec mtime;
};

}  // namespace

int main(int argc, char* argv[]) {
    const bool checked = argc > 1 && std::strcmp(argv[1], "--checked") == 0;
    const bool safe = checked || (argc > 1 && std::strcmp(argv[1], "--safe") == 0);
    argv += safe ? 1 : 0;
    argc -= safe ? 1 : 0;
    if (argc < 4 || (std::strcmp(argv[1], "move") == 0 && argc < 5)) {
        std::fprintf(stderr, "usage: floor [--safe|--checked] delete|move SRC EXT [DST]\n");
        return 2;
    }
    const bool move = std::strcmp(argv[1], "move") == 0;
    const std::string suffix = std::string(".") + argv[3];
    const int source = open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int target = move ? open(argv[4], O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    DIR* dir = source < 0 ? nullptr : fdopendir(dup(source));
    if (dir == nullptr || (move && target < 0)) {
        std::perror("open");
        return 1;
    }
    std::vector<Listed> files;
    while (const dirent* entry = readdir(dir)) {
        const std::string name(entry->d_name);
        struct stat info {};
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
            fstatat(source, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode)) {
            files.push_back({name, info.st_mtim});
        }
    }
    closedir(dir);
    if (safe) {
        std::sort(files.begin(), files.end(), [](const Listed& a, const Listed& b) {
            return a.mtime.tv_sec != b.mtime.tv_sec ? a.mtime.tv_sec < b.mtime.tv_sec
                                                    : a.mtime.tv_nsec < b.mtime.tv_nsec;
        });
    }
    for (const Listed& file : files) {
        struct stat now {};
        if (safe && (fstatat(source, file.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
                     !S_ISREG(now.st_mode))) {
            continue;
        }
        const int result = move ? renameat(source, file.name.c_str(), target, file.name.c_str())
                                : unlinkat(source, file.name.c_str(), 0);
        struct stat landed {};
        if (result != 0 ||
            (checked && move &&
             (fstatat(target, file.name.c_str(), &landed, AT_SYMLINK_NOFOLLOW) != 0 ||
              landed.st_dev != now.st_dev || landed.st_ino != now.st_ino))) {
            std::perror(file.name.c_str());
            return 1;
        }
    }
    return 0;
}
