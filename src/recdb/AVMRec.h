#pragma once

#include <cstddef>
#include <cstdint>

// Limits of one record store.
inline constexpr int kDBMMaxRecords = 200;  // record indexes 0..199
inline constexpr int kDBMMaxIds = 200;      // list ids 1..200
inline constexpr int kDBMMaxParts = 280;    // part entries per record

// Record type codes. Only 2 (recordings) is ever passed by the program.
inline constexpr int kDBMTypeRecord = 2;

// Values of AVMRec::id and of id map entries.
inline constexpr std::uint16_t kDBMIdFree = 0;
inline constexpr std::uint16_t kDBMIdDeleted = 0xFFFF;
inline constexpr std::uint16_t kDBMMapFree = 0xFFFF;

// Pseudo-record ids (type 2 only, shared by both sides).
inline constexpr std::uint16_t kDBMPseudoId1 = 0xFFFF;
inline constexpr std::uint16_t kDBMPseudoId2 = 0xFFFE;
inline constexpr std::uint16_t kDBMPseudoId3 = 0xFFFD;

// Every part file name is exactly this long; in memory a zero byte follows it.
inline constexpr std::size_t kAVMPartNameLen = 12;

// One part file of a recording.
struct AVMPart {
    char name[kAVMPartNameLen + 1];
};

// One recording.
struct AVMRec {
    std::uint16_t slot;  // record index + 1, set by a load
    std::uint16_t id;    // 0 free, 1..200 list id, 0xFFFF deleted
    std::uint8_t name[16];  // byte 0 is a marker byte; the channel name starts at byte 1
    std::uint64_t extA;  // total size in bytes of the part files
    std::uint64_t extB;
    std::uint32_t startTime;  // seconds since 1970-01-01 00:00 UTC
    std::uint32_t duration;   // seconds
    std::uint16_t vid;
    std::uint16_t aid;
    std::uint16_t pid;
    std::uint16_t streamWord4;
    std::uint16_t ecmPid;
    std::uint16_t streamWord6;
    std::uint8_t attr1;
    std::uint8_t attr2;
    std::uint16_t attr3;
    std::uint8_t attrBlock[48];
    std::uint16_t partCount;  // 0..280
    AVMPart parts[kDBMMaxParts];  // slots 0..partCount-1 in playing order
    std::uint64_t extC[3];
    std::uint8_t extD;
};

// The record table of one store: count, id map and the store's record array.
struct AVMRecordTable {
    std::uint16_t count;               // number of listed records
    std::uint16_t idMap[kDBMMaxIds];   // entry id-1 holds the record index of list id `id`
    AVMRec* records;                   // the store's 200 records (null for types without storage)
    std::uint32_t extra;               // the further word of the type 4 table; nothing reads it
};
