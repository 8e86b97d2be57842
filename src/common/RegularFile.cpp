#include "common/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vmx {

namespace {

std::string refusal(const std::string& path, mode_t mode)
{
    return path + " is " + FileKindOf(mode) + ", not a regular file; it was left alone.";
}

std::string cannotOpen(const std::string& path, int error)
{
    return "cannot open " + path + ": " + std::strerror(error) + ".";
}

// Files whose mere opening waits (a pipe without a writer) or acts (a tape rewinds).
bool mustNotBeOpened(mode_t mode)
{
    return S_ISFIFO(mode) || S_ISCHR(mode) || S_ISBLK(mode) || S_ISSOCK(mode);
}

}  // namespace

const char* FileKindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return "a symbolic link";
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

std::string OpenRegularFile(const std::string& path, int flags, UniqueFd& fd, std::uint64_t& size)
{
    fd.reset();
    struct stat st {};
    const bool follow = (flags & O_NOFOLLOW) == 0;
    if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) == 0 && mustNotBeOpened(st.st_mode))
        return refusal(path, st.st_mode);
    // Non-blocking, in case the name was replaced by a pipe meanwhile; checked again once open.
    fd.reset(::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.ok()) {
        if (errno == ELOOP && !follow)
            return path + " is a symbolic link, not a regular file; it was left alone.";
        return cannotOpen(path, errno);
    }
    if (::fstat(fd.get(), &st) != 0) {
        const int error = errno;
        fd.reset();
        return cannotOpen(path, error);
    }
    if (!S_ISREG(st.st_mode)) {
        fd.reset();
        return refusal(path, st.st_mode);
    }
    // Regular files never block; later reads and writes need no special mode.
    const int mode = ::fcntl(fd.get(), F_GETFL);
    if (mode < 0 || ::fcntl(fd.get(), F_SETFL, mode & ~O_NONBLOCK) != 0) {
        const int error = errno;
        fd.reset();
        return cannotOpen(path, error);
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return {};
}

std::string ReadRegularFile(const std::string& path, std::string& content)
{
    content.clear();
    UniqueFd fd;
    std::uint64_t size = 0;
    if (std::string error = OpenRegularFile(path, O_RDONLY, fd, size); !error.empty())
        return error;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return "cannot read " + path + ": " + std::strerror(errno) + ".";
        if (n == 0)
            return {};
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace vmx
