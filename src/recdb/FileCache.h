#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The database file cache: two windows of 128 KB over the one open database file. Reads go
// through both windows; writes use window 0 as a write-back buffer. Status: 0 success, 1 failure.

inline constexpr std::uint32_t kAVMWindowSize = 0x20000;

unsigned char AVMInitFileCache();
unsigned char AVMResetFileCache();
unsigned char AVMReadFile(std::uint32_t position, void* destination, std::uint32_t length);
// With data null: flush every valid window's filled bytes.
unsigned char AVMWriteFile(std::uint32_t position, const void* data, std::uint32_t length);

namespace vmx {

// True once AVMInitFileCache has succeeded.
bool FileCacheActive();

// The file the cache reads from and writes to (a descriptor the caller owns; -1 for none).
void SetCacheFile(int fd);

// While set (data not null), the cache reads from these bytes instead of the file, and bytes beyond
// `size` read as zeros, as beyond a file's end: a load parses the content it read once. Null
// returns the reads to the file.
void SetCacheSource(const std::uint8_t* data, std::size_t size);

// While set, the cache's writes land in `sink` (grown as needed) instead of the file: the writer
// puts a database's content together in memory before it decides how to bring it onto the disk.
// Null returns the writes to the file.
void SetCacheSink(std::vector<std::uint8_t>* sink);

}  // namespace vmx
