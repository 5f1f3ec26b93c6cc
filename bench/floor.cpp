// The floor a maintenance run is measured against: what the kernel needs for the same files,
// with no log. Lists the directory, stats each file relative to its descriptor, then unlinks
// or renames it relative to the directory descriptors.
//   floor delete SRC EXT
//   floor move SRC EXT DST
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc < 4 || (std::strcmp(argv[1], "move") == 0 && argc < 5)) {
        std::fprintf(stderr, "usage: floor delete|move SRC EXT [DST]\n");
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
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name(entry->d_name);
        struct stat info {};
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
            fstatat(source, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode)) {
            names.push_back(name);
        }
    }
    closedir(dir);
    for (const std::string& name : names) {
        const int result = move ? renameat(source, name.c_str(), target, name.c_str())
                                : unlinkat(source, name.c_str(), 0);
        if (result != 0) {
            std::perror(name.c_str());
            return 1;
        }
    }
    return 0;
}
