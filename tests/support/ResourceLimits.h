#pragma once

#include <csignal>
#include <cstdint>
#include <sys/resource.h>

namespace vmxtest {

// While it lives, every write that would make a file of this process longer than `bytes` fails
// with EFBIG, as writes fail on a full disk (SIGXFSZ is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(std::uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = SIG_DFL;
};

// True in a build with AddressSanitizer, whose shadow memory rules out an address-space limit.
bool UnderAddressSanitizer();

// Limits this process's address space to what it maps now plus `extraBytes`, for good: call it
// only in a death test's child. Memory taken beyond that makes allocations fail.
void LimitAddressSpace(std::uint64_t extraBytes);

}  // namespace vmxtest
