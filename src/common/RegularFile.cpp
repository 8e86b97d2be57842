#include "common/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace vmx {

namespace {

const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a plain file";
}

}  // namespace

std::string OpenRegularFile(const std::string& path, int flags, UniqueFd& fd, std::uint64_t& size)
{
    fd.reset(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC));
    if (!fd.ok()) {
        if (errno == ELOOP && (flags & O_NOFOLLOW))
            return path + " is a symbolic link, not a regular file; it was left alone.";
        return "cannot open " + path + ": " + std::strerror(errno) + ".";
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        const int error = errno;
        fd.reset();
        return "cannot open " + path + ": " + std::strerror(error) + ".";
    }
    if (!S_ISREG(st.st_mode)) {
        fd.reset();
        return path + " is " + kindOf(st.st_mode) + ", not a regular file; it was left alone.";
    }
    // Regular files never block; later reads and writes need no special mode.
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    size = static_cast<std::uint64_t>(st.st_size);
    return {};
}

}  // namespace vmx
