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
//     and inode), as a run that renames by name must to know it moved what it checked;
//   floor --trash delete SRC EXT TRASH
//     the safe floor of a delete into the trash TRASH (with files/ and info/): each file's
//     .trashinfo claimed and written, the file renamed beside it without replacing anything,
//     and what landed looked at.
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
    const bool trash = argc > 1 && std::strcmp(argv[1], "--trash") == 0;
    const bool checked = trash || (argc > 1 && std::strcmp(argv[1], "--checked") == 0);
    const bool safe = checked || (argc > 1 && std::strcmp(argv[1], "--safe") == 0);
    argv += safe ? 1 : 0;
    argc -= safe ? 1 : 0;
    const bool move = argc > 1 && (std::strcmp(argv[1], "move") == 0 || trash);
    if (argc < 4 || (move && argc < 5)) {
        std::fprintf(stderr,
                     "usage: floor [--safe|--checked] delete|move SRC EXT [DST]\n"
                     "       floor --trash delete SRC EXT TRASH\n");
        return 2;
    }
    const std::string suffix = std::string(".") + argv[3];
    const int source = open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string into = move ? argv[4] + std::string(trash ? "/files" : "") : "";
    const int target = move ? open(into.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    const int info =
        trash ? open((argv[4] + std::string("/info")).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
              : -1;
    DIR* dir = source < 0 ? nullptr : fdopendir(dup(source));
    if (dir == nullptr || (move && target < 0) || (trash && info < 0)) {
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
        int claim = -1;
        if (trash) {
            const std::string text = "[Trash Info]\nPath=" + std::string(argv[2]) + "/" +
                                     file.name + "\nDeletionDate=2026-12-08T08:00:00\n";
            claim = openat(info, (file.name + ".trashinfo").c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (claim < 0 || write(claim, text.data(), text.size()) < 0) {
                std::perror(file.name.c_str());
                return 1;
            }
        }
        const int result = trash  ? renameat2(source, file.name.c_str(), target, file.name.c_str(),
                                              RENAME_NOREPLACE)
                           : move ? renameat(source, file.name.c_str(), target, file.name.c_str())
                                  : unlinkat(source, file.name.c_str(), 0);
        if (claim >= 0) {
            close(claim);
        }
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
