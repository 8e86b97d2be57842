#include "common/KernelCopy.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace vmx {

namespace {

constexpr std::uint64_t kKernelChunk = 16u << 20;
constexpr std::size_t kBufferSize = 4u << 20;

// Errors that mean "this pair of files cannot be copied by the kernel", not "the copy failed".
bool kernelCopyUnsupported(int error)
{
    return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL || error == EBADF;
}

// One chunk through the buffer. Returns the bytes copied, 0 at the end of the source, -1 on error.
ssize_t bufferedChunk(int in, off_t& inOffset, int out, off_t& outOffset, std::size_t length,
                      std::vector<char>& buffer, CopyFailure& failure)
{
    ssize_t got;
    do {
        got = ::pread(in, buffer.data(), std::min(length, buffer.size()), inOffset);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        failure.error = got < 0 ? errno : 0;
        return got;
    }
    std::size_t done = 0;
    while (done < static_cast<std::size_t>(got)) {
        const ssize_t put = ::pwrite(out, buffer.data() + done, static_cast<std::size_t>(got) - done,
                                     outOffset + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            failure.error = put < 0 ? errno : ENOSPC;
            return -1;
        }
        done += static_cast<std::size_t>(put);
    }
    inOffset += got;
    outOffset += got;
    return got;
}

}  // namespace

std::string CopyFailure::reason() const
{
    if (cancelled)
        return "cancelled";
    if (sourceEnded)
        return "the file ended early";
    return std::strerror(error);
}

bool CopyBytes(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset, std::uint64_t length,
               const ChunkCallback& chunkDone, CopyFailure& failure)
{
    failure = CopyFailure{};
    auto inPos = static_cast<off_t>(inOffset);
    auto outPos = static_cast<off_t>(outOffset);
    bool useKernel = true;
    std::vector<char> buffer;
    std::uint64_t copied = 0;
    while (copied < length) {
        const std::uint64_t want = std::min(length - copied, kKernelChunk);
        ssize_t n = -1;
        if (useKernel) {
            n = ::copy_file_range(in, &inPos, out, &outPos, static_cast<std::size_t>(want), 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && kernelCopyUnsupported(errno)) {
                useKernel = false;
                continue;
            }
            if (n < 0)
                failure.error = errno;
        } else {
            if (buffer.empty())
                buffer.resize(kBufferSize);
            n = bufferedChunk(in, inPos, out, outPos, static_cast<std::size_t>(want), buffer, failure);
        }
        if (n < 0)
            return false;
        if (n == 0) {
            failure.sourceEnded = failure.error == 0;
            return false;
        }
        copied += static_cast<std::uint64_t>(n);
        if (chunkDone && !chunkDone(copied)) {
            failure.cancelled = true;
            return false;
        }
    }
    return true;
}

}  // namespace vmx
