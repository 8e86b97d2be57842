#include "common/WriteAll.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>

namespace vmx {

int WriteAllAt(int fd, const void* data, std::size_t length, std::uint64_t position)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(fd, bytes + done, length - done, static_cast<off_t>(position + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int ReserveRoom(int fd, std::uint64_t length)
{
    if (length == 0)
        return 0;
    int error = 0;
    do {
        // Not posix_fallocate: where the file system has no fallocate, glibc writes a byte into
        // every block instead, and fusefat refuses those writes past the end with EPERM.
        error = ::fallocate(fd, 0, 0, static_cast<off_t>(length)) == 0 ? 0 : errno;
    } while (error == EINTR);
    // ENOSPC and EFBIG answer the question; EIO and EBADF are failures. Anything else (EOPNOTSUPP,
    // ENOSYS, EPERM from FUSE, EINVAL, ...) says only that this file system cannot allocate ahead.
    if (error == 0 || error == ENOSPC || error == EFBIG || error == EIO || error == EBADF)
        return error;
    // A file system that tells neither way (no statfs, or no size: FUSE answers zeros then) is
    // not taken to be full; the writes themselves say so if it is.
    struct statvfs vfs {};
    if (::fstatvfs(fd, &vfs) != 0 || vfs.f_blocks == 0)
        return 0;
    const std::uint64_t free = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    return free >= length ? 0 : ENOSPC;
}

}  // namespace vmx
