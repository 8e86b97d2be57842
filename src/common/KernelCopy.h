#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vmx {

// Why a copy of bytes between two descriptors stopped.
struct CopyFailure {
    int error = 0;          // errno of the failing call (0 when the source ended early)
    bool cancelled = false; // the chunk callback asked to stop
    bool sourceEnded = false;  // the source held fewer bytes than asked for

    // "No space left on device", "the file ended early", "cancelled".
    std::string reason() const;
};

// Called after every copied chunk with the number of bytes copied so far; returns false to stop.
using ChunkCallback = std::function<bool(std::uint64_t copied)>;

// Copies `length` bytes from `in` at `inOffset` to `out` at `outOffset` through the kernel
// (copy_file_range, in chunks of 16 MiB), falling back to reads and writes through a 4 MiB
// buffer where the file systems cannot do that. True when every byte was copied.
bool CopyBytes(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset, std::uint64_t length,
               const ChunkCallback& chunkDone, CopyFailure& failure);

}  // namespace vmx
