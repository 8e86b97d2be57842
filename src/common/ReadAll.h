#pragma once

#include <cstddef>
#include <cstdint>

namespace vmx {

// Reads `length` bytes at `position`, going on after short reads and interruptions, until all are
// read or the file ends; `got` receives how many were read. Returns 0, or the errno value of the
// failure.
int ReadAllAt(int fd, void* data, std::size_t length, std::uint64_t position, std::size_t& got);

}  // namespace vmx
