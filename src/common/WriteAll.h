#pragma once

#include <cstddef>
#include <cstdint>

namespace vmx {

// Writes all `length` bytes at `position`, going on after short writes and interruptions.
// Returns 0, or the errno value of the failure (EIO when the file takes no more bytes).
int WriteAllAt(int fd, const void* data, std::size_t length, std::uint64_t position);

// Whether the file system of the open file `fd` has room for `length` more bytes: the first
// `length` bytes of the file are allocated (fallocate), or, where the file system cannot allocate
// ahead (FAT, exFAT and NTFS through FUSE, among others), its free space is compared with
// `length`. Nothing is written through the descriptor, so a file system that takes only
// sequential writes is never asked for a hole. Returns 0, ENOSPC (or EFBIG past the largest file),
// or EIO; a file system that tells nothing of its free space is taken to have room.
int ReserveRoom(int fd, std::uint64_t length);

}  // namespace vmx
