#pragma once

#include <cstddef>
#include <cstdint>

namespace vmx {

// Writes all `length` bytes at `position`, going on after short writes and interruptions.
// Returns 0, or the errno value of the failure (EIO when the file takes no more bytes).
int WriteAllAt(int fd, const void* data, std::size_t length, std::uint64_t position);

}  // namespace vmx
