#include "common/WriteAll.h"

#include <cerrno>
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

}  // namespace vmx
