#pragma once

#include "recdb/AVMRec.h"
#include "recdb/DbReader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vmx {

// The record sections of a database's content, decoded from bytes at hand the way the reader
// decodes the file (the layout is described in DbReader.h): bytes the content lacks read as
// zeros, fields a version lacks read as zero. Nothing here touches a record store, so the content
// of any database of a folder, or the content a cut's plan holds, can be looked at beside the
// databases the panes have loaded.
struct DecodedSection {
    int index = 0;                 // the record index, 0..199
    std::size_t offset = 0;        // where the section starts in the file
    std::uint8_t storedSum = 0;    // versions 4 and 5: the checksum byte after the image
    std::uint8_t computedSum = 0;  // the sum of the image bytes modulo 256
    std::uint16_t id = 0;          // as stored (0 = free)
    std::uint16_t partCount = 0;   // as stored (above 280 only in DecodedDb::broken)

    // The decoded record (id as stored, `slot` the index + 1); a free section without parts
    // (most of a database) holds no record of its own and gives an all-zero one.
    const AVMRec& record() const;

    std::shared_ptr<const AVMRec> stored;
};

struct DecodedDb {
    DbHeader header;
    // One per record index in file order, up to the first whose part count is above 280
    // (nothing after it can be placed).
    std::vector<DecodedSection> sections;
    // The section whose part count is above 280, if any (its record holds no part names).
    std::optional<DecodedSection> broken;

    // Every one of the 200 sections could be placed.
    bool whole() const { return sections.size() == static_cast<std::size_t>(kDBMMaxRecords); }
    // The header can be read as the reader reads it (version, header size, count).
    bool readable() const;
    // The section is listed: its id lies between 1 and the header's count.
    bool listed(const DecodedSection& section) const;
};

// Decodes the content `data` (the first bytes of a database file, at most kMaxDbContentSize).
DecodedDb DecodeDb(const std::uint8_t* data, std::size_t size);

// Reads the first bytes of the database file at `path`, as many as its content can span (never
// through a symbolic link). Empty on success, else the sentence naming the file and the reason.
[[nodiscard]] std::string ReadDbContent(const std::string& path, std::vector<std::uint8_t>& bytes,
                                        std::uint64_t* fileSize = nullptr);

// Reads and decodes the database file at `path` (never through a symbolic link, at most
// kMaxDbContentSize bytes however large the file claims to be). Empty on success, else the
// sentence naming the file and the reason.
[[nodiscard]] std::string ReadDecodedDb(const std::string& path, DecodedDb& db);

// Fills `rec` (all but slot, parts and partCount) from a record image of `version` in file order.
void DecodeRecordImage(const std::uint8_t* image, int version, AVMRec& rec);

}  // namespace vmx
