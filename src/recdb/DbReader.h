#pragma once

#include "recdb/AVMRec.h"
#include "recdb/RecordStore.h"

#include <cstdint>
#include <string>
#include <vector>

// Reading the receiver's recordings database into a record store.
// Status of the AVM functions: 0 success, 1 failure.
//
// Database file (all numbers big-endian):
//   OFFSET  SIZE  FIELD
//   0       2     version (0..5; the writer puts 5)
//   2       2     header size (the writer puts 6; 1..512 accepted)
//   4       2     record count
//   6       506   zero
//   512     ...   200 record sections, one per record index, back to back
// Record section: the record image (144 bytes in version 5, 136 in 4, 92 in 0..3), in versions
// 4 and 5 a checksum byte (sum of the image bytes modulo 256), then partCount part names of 12
// bytes each. A file that ends early reads as zeros.
//
// Record image:
//   OFFSET  SIZE  FIELD                       OFFSET  SIZE  FIELD
//   0       2     id (0 = free)               40      1     attr1
//   2       16    name (bytes)                41      1     attr2
//   18      2     partCount                   42      2     attr3
//   20      4     startTime                   44      48    attrBlock (bytes)
//   24      4     duration                    92      4     reserved         (4, 5)
//   28      2     vid                         96      8     extA             (4, 5)
//   30      2     aid                         104     8     extB             (4, 5)
//   32      2     pid                         112     24    extC[3]          (4, 5)
//   34      2     streamWord4                 136     1     extD             (5)
//   36      2     ecmPid                      137     7     reserved         (5)
//   38      2     streamWord6

inline constexpr std::uint32_t kAVMHeaderArea = 512;
inline constexpr std::uint32_t kAVMImageSize = 144;
inline constexpr std::uint32_t kAVMImageSizeV4 = 136;
inline constexpr std::uint32_t kAVMImageSizeV3 = 92;

namespace vmx {

// The most bytes a database's content can span: the header area and 200 version 5 sections of
// 280 part names each. A reader never looks further; bytes after it are carried along unread.
inline constexpr std::uint64_t kMaxDbContentSize =
    kAVMHeaderArea + std::uint64_t{kDBMMaxRecords} * (kAVMImageSize + 1 + std::uint64_t{kDBMMaxParts} * kAVMPartNameLen);

// The 6-byte header at the start of a database file.
struct DbHeader {
    std::uint16_t version = 0;
    std::uint16_t headerSize = 0;
    std::uint16_t count = 0;
};

// The header from the file's first 6 bytes.
DbHeader DecodeDbHeader(const std::uint8_t* bytes);

// The header of the database at `path` as the file holds it; bytes a short file lacks read as
// zeros, as the reader reads them. Empty on success, else the sentence saying why it cannot be read.
[[nodiscard]] std::string ReadDbHeader(const std::string& path, DbHeader& header);

// Reads the database at `dbPath` into `store`. False when it cannot be read (DBMLastTrace says
// why); the store is then exactly as it was.
[[nodiscard]] bool ReadDb(RecordStore& store, const std::string& dbPath);
// The same from a database's content read before (its first kMaxDbContentSize bytes at most).
[[nodiscard]] bool ReadDb(RecordStore& store, const std::vector<std::uint8_t>& content);

}  // namespace vmx

// Converts every numeric field of a 144-byte record image between file order (big-endian) and
// host order; twice restores the image. Returns the image's partCount as it stood before the
// conversion (in the order it had then).
std::uint16_t AVMSwapRecordImage(std::uint8_t* image);

// vmx::ReadDb of vmx::CurrentStore() from vmx::CurrentDbPath().
unsigned char AVMReadDb(int type);
unsigned char AVMReadDbSub(int type, int version, AVMRecordTable* table);
