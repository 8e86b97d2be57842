#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vmx {

// What a file was when it was read: which file (device and inode), its size, its modification
// time to the nanosecond, and a hash of its first bytes. A program that read a file long ago
// compares a fingerprint taken now with the one it took then to learn whether anybody has changed
// or replaced the file since. The hash matters where the time does not: a FAT-formatted disk keeps
// modification times to two seconds only.
struct FileFingerprint {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeSeconds = 0;
    std::int64_t mtimeNanoseconds = 0;
    std::uint64_t hash = 0;  // of the first min(size, the byte limit) bytes

    bool operator==(const FileFingerprint&) const = default;
};

// The fingerprint of the regular file at `path`, hashing at most `hashLimit` bytes from its start.
// Empty on success, else the sentence saying why the file cannot be read.
[[nodiscard]] std::string TakeFingerprint(const std::string& path, std::uint64_t hashLimit, FileFingerprint& out);

// The same of the regular file open as `fd` (`path` names it in messages); `content`, when given,
// receives the bytes hashed, so that a reader that needs no more than them reads the file once.
[[nodiscard]] std::string TakeFingerprint(int fd, const std::string& path, std::uint64_t hashLimit, FileFingerprint& out,
                                          std::vector<std::uint8_t>* content = nullptr);

// True while the file open as `fd` still has the size and modification time of `taken` and `path`
// still names it: nobody wrote to it or put another file in its place since.
bool FileUnchanged(int fd, const std::string& path, const FileFingerprint& taken);

// The hash TakeFingerprint puts into a fingerprint, over bytes at hand.
std::uint64_t FingerprintHash(const void* data, std::size_t size);

}  // namespace vmx
