#include "common/FileFingerprint.h"

#include "common/Fnv1a.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace vmx {

std::uint64_t FingerprintHash(const void* data, std::size_t size)
{
    return Fnv1a64(data, size);
}

std::string TakeFingerprint(const std::string& path, std::uint64_t hashLimit, FileFingerprint& out)
{
    UniqueFd fd;
    std::uint64_t size = 0;
    if (std::string error = OpenRegularFile(path, O_RDONLY, fd, size); !error.empty())
        return error;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return "cannot read " + path + ": " + std::strerror(errno) + ".";
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(size, hashLimit)));
    std::size_t got = 0;
    if (const int error = ReadAllAt(fd.get(), bytes.data(), bytes.size(), 0, got); error != 0)
        return "cannot read " + path + ": " + std::strerror(error) + ".";
    out.device = static_cast<std::uint64_t>(st.st_dev);
    out.inode = static_cast<std::uint64_t>(st.st_ino);
    out.size = static_cast<std::uint64_t>(st.st_size);
    out.mtimeSeconds = st.st_mtim.tv_sec;
    out.mtimeNanoseconds = st.st_mtim.tv_nsec;
    out.hash = FingerprintHash(bytes.data(), got);
    return {};
}

}  // namespace vmx
