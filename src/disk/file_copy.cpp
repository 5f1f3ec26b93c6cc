#include "disk/file_copy.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace {

// Copies the bytes [from, to) to the same offsets, in the kernel where the file systems allow
// it. Stops early at the source's end, should it have shrunk meanwhile.
int copyRange(int in, int out, off_t from, off_t to) {
    bool kernelCopy = true;
    std::vector<char> buffer;
    while (from < to) {
        const size_t wanted = static_cast<size_t>(to - from);
        if (kernelCopy) {
            off_t inOffset = from;
            off_t outOffset = from;
            const ssize_t n = copy_file_range(in, &inOffset, out, &outOffset, wanted, 0);
            if (n > 0) {
                from += n;
                continue;
            }
            if (n == 0) {
                return 0;
            }
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
                return errno;
            }
            kernelCopy = false;
            buffer.resize(1 << 20);
        }
        const ssize_t got = ::pread(in, buffer.data(), std::min(wanted, buffer.size()), from);
        if (got == 0) {
            return 0;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put =
                ::pwrite(out, buffer.data() + done, static_cast<size_t>(got - done), from + done);
            if (put < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            done += put;
        }
        from += got;
    }
    return 0;
}

// Only the stretches that hold data are copied; the rest stays a hole, up to the full size.
int copySparse(int in, int out, off_t size) {
    off_t offset = 0;
    while (offset < size) {
        const off_t data = ::lseek(in, offset, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) {
                break;  // nothing but a hole to the end
            }
            return errno;
        }
        off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0 || hole > size) {
            hole = size;
        }
        if (const int error = copyRange(in, out, data, hole)) {
            return error;
        }
        offset = hole;
    }
    return ::ftruncate(out, size) == 0 ? 0 : errno;
}

int copyData(int in, const struct stat& info, int out) {
    // A file that takes less room than its size has holes; any other is copied whole, which
    // costs no look for them.
    if (info.st_blocks * 512 < info.st_size) {
        const int error = copySparse(in, out, info.st_size);
        if (error != EINVAL && error != EOPNOTSUPP) {
            return error;
        }
        if (::ftruncate(out, 0) != 0) {  // the file system cannot tell holes: start over
            return errno;
        }
    }
    return copyRange(in, out, 0, info.st_size);
}

bool notTaken(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP || error == EPERM || error == EACCES ||
           error == ENOSPC || error == E2BIG || error == ERANGE;
}

// Extended attributes as far as the copy's file system takes them; a source whose attributes
// cannot be read keeps none, as mv does.
int copyExtendedAttributes(int in, int out) {
    const ssize_t listSize = ::flistxattr(in, nullptr, 0);
    if (listSize <= 0) {
        return 0;
    }
    std::vector<char> names(static_cast<size_t>(listSize));
    const ssize_t listed = ::flistxattr(in, names.data(), names.size());
    if (listed <= 0) {
        return 0;
    }
    std::vector<char> value;
    for (size_t at = 0; at < static_cast<size_t>(listed);) {
        const char* name = names.data() + at;
        at += std::char_traits<char>::length(name) + 1;
        const ssize_t size = ::fgetxattr(in, name, nullptr, 0);
        if (size < 0) {
            continue;
        }
        value.resize(static_cast<size_t>(size));
        const ssize_t got = ::fgetxattr(in, name, value.data(), value.size());
        if (got < 0) {
            continue;
        }
        if (::fsetxattr(out, name, value.data(), static_cast<size_t>(got), 0) != 0 &&
            !notTaken(errno)) {
            return errno;
        }
    }
    return 0;
}

// Gives the copy the source's access ACL, or none, so that a default ACL of the target folder,
// which the copy took on when it was made, grants nobody more than the source did (as cp -p).
int keepAccessAcl(int in, int out) {
    static const char kAcl[] = "system.posix_acl_access";
    std::vector<char> value(
        static_cast<size_t>(std::max<ssize_t>(::fgetxattr(in, kAcl, nullptr, 0), 0)));
    const ssize_t got = value.empty() ? -1 : ::fgetxattr(in, kAcl, value.data(), value.size());
    if (::fremovexattr(out, kAcl) != 0 && errno != ENODATA && errno != ENOTSUP &&
        errno != EOPNOTSUPP) {
        return errno;
    }
    if (got > 0 && ::fsetxattr(out, kAcl, value.data(), static_cast<size_t>(got), 0) != 0 &&
        !notTaken(errno)) {
        return errno;
    }
    return 0;
}

}  // namespace

int fillCopy(int in, const struct stat& info, int out, bool extendedAttributes) {
    if (const int error = copyData(in, info, out)) {
        return error;
    }
    // Owner first: a change of owner clears the set-ID bits the mode then restores.
    mode_t mode = info.st_mode & 07777;
    if (::fchown(out, info.st_uid, info.st_gid) != 0) {
        if (errno != EPERM) {
            return errno;
        }
        // The group where one may, as cp -p does; the copy is sound without it.
        [[maybe_unused]] const int groupKept = ::fchown(out, static_cast<uid_t>(-1), info.st_gid);
        mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    }
    // The ACL goes before the mode: taking an ACL away leaves its mask in the group bits.
    if (const int error = keepAccessAcl(in, out)) {
        return error;
    }
    if (::fchmod(out, mode) != 0) {
        return errno;
    }
    if (extendedAttributes) {
        if (const int error = copyExtendedAttributes(in, out)) {
            return error;
        }
    }
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    return ::futimens(out, times) == 0 ? 0 : errno;
}
