#include "common/ReadAll.h"

#include <cerrno>
#include <sys/types.h>
#include <unistd.h>

namespace vmx {

int ReadAllAt(int fd, void* data, std::size_t length, std::uint64_t position, std::size_t& got)
{
    auto* bytes = static_cast<std::uint8_t*>(data);
    got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, bytes + got, length - got, static_cast<off_t>(position + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace vmx
