#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace vmxtest {

// One record as the test wants it in a database file, encoded independently of the program's
// writer so that reader and writer are both checked against the file format itself.
struct TestRecord {
    std::uint16_t id = 0;
    std::array<std::uint8_t, 16> name{};
    std::uint32_t startTime = 0;
    std::uint32_t duration = 0;
    std::array<std::uint16_t, 6> streams{};  // vid, aid, pid, streamWord4, ecmPid, streamWord6
    std::uint8_t attr1 = 0;
    std::uint8_t attr2 = 0;
    std::uint16_t attr3 = 0;
    std::array<std::uint8_t, 48> attrBlock{};
    std::uint64_t extA = 0;
    std::uint64_t extB = 0;
    std::array<std::uint64_t, 3> extC{};
    std::uint8_t extD = 0;
    std::vector<std::string> parts;  // each exactly 12 bytes
    int partCountOverride = -1;      // written instead of parts.size() when >= 0
    bool badChecksum = false;
};

struct TestDb {
    std::uint16_t version = 5;
    std::uint16_t headerSize = 6;
    std::uint16_t count = 0;
    std::map<int, TestRecord> records;  // by record index 0..199
};

// The file bytes of a database.
std::vector<std::uint8_t> encodeDb(const TestDb& db);

// A record with the given id and channel name (marker byte 0x05) and parts RF%04dAA.TRP,...
TestRecord makeRecord(std::uint16_t id, const std::string& channel, int slot, int parts);

// A record whose every field is random (id and parts as given).
TestRecord randomRecord(std::mt19937& rng, std::uint16_t id, int slot, int parts);

// "RF%04d" + two letters + ".TRP" for part j (AA, AB, ...).
std::string partName(int slot, int j);

}  // namespace vmxtest
