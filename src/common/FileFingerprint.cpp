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
    return TakeFingerprint(fd.get(), path, hashLimit, out);
}

std::string TakeFingerprint(int fd, const std::string& path, std::uint64_t hashLimit, FileFingerprint& out,
                            std::vector<std::uint8_t>* content)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return "cannot read " + path + ": " + std::strerror(errno) + ".";
    std::vector<std::uint8_t> read;
    std::vector<std::uint8_t>& bytes = content ? *content : read;
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(st.st_size), hashLimit)));
    std::size_t got = 0;
    if (const int error = ReadAllAt(fd, bytes.data(), bytes.size(), 0, got); error != 0)
        return "cannot read " + path + ": " + std::strerror(error) + ".";
    bytes.resize(got);
    out.device = static_cast<std::uint64_t>(st.st_dev);
    out.inode = static_cast<std::uint64_t>(st.st_ino);
    out.size = static_cast<std::uint64_t>(st.st_size);
    out.mtimeSeconds = st.st_mtim.tv_sec;
    out.mtimeNanoseconds = st.st_mtim.tv_nsec;
    out.hash = FingerprintHash(bytes.data(), got);
    return {};
}

bool FileUnchanged(int fd, const std::string& path, const FileFingerprint& taken)
{
    struct stat open {};
    struct stat named {};
    if (::fstat(fd, &open) != 0 || ::stat(path.c_str(), &named) != 0)
        return false;
    return static_cast<std::uint64_t>(open.st_dev) == taken.device && static_cast<std::uint64_t>(open.st_ino) == taken.inode &&
           static_cast<std::uint64_t>(open.st_size) == taken.size && open.st_mtim.tv_sec == taken.mtimeSeconds &&
           open.st_mtim.tv_nsec == taken.mtimeNanoseconds && named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

}  // namespace vmx
