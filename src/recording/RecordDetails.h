#pragma once

#include "recdb/AVMRec.h"
#include "recording/Timing.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vmx {

// One row of a record pane, as a front end paints it: a copy, so that it can be painted while an
// operation works on the store.
struct RecordRow {
    int row = 0;
    unsigned id = 0;        // row + 1
    bool readable = false;  // the store delivered the record its count promises
    bool damaged = false;   // its bytes in the file do not add up to their checksum
    std::string name;       // the channel name for display (RecordDisplayName)
    std::uint32_t startTime = 0;
    std::uint32_t duration = 0;
    std::uint16_t partCount = 0;
    TimingEntry timing;
};

// The stream identifiers of a recording, in the record's order.
struct StreamIds {
    std::uint16_t vid = 0;
    std::uint16_t aid = 0;
    std::uint16_t pid = 0;
    std::uint16_t streamWord4 = 0;
    std::uint16_t ecmPid = 0;
    std::uint16_t streamWord6 = 0;
};

// Everything about one recording that a front end shows or plays, as plain data.
struct RecordDetails {
    int row = 0;
    unsigned id = 0;
    std::uint16_t slot = 0;
    std::array<std::uint8_t, 16> nameField{};  // the name as stored, marker byte first
    std::string nameBytes;                     // the channel name's bytes (RecordNameBytes)
    std::string displayName;                   // the same for display (RecordDisplayName)
    std::uint32_t startTime = 0;
    std::uint32_t duration = 0;
    StreamIds streams;
    std::uint8_t attr1 = 0;
    std::uint8_t attr2 = 0;
    std::uint16_t attr3 = 0;
    std::uint64_t extA = 0;
    std::string folder;                    // the pane's folder: the part files lie in it
    std::vector<std::string> partNames;    // 12 bytes each, as stored
    std::vector<std::string> printableParts;  // the same with unprintable bytes shown as \xNN
    TimingEntry timing;
};

// The row and the details of a record listed at `row` of a pane whose folder is `folder`.
RecordRow RowOf(int row, const AVMRec& record, const TimingEntry& timing);
RecordDetails DetailsOf(int row, const AVMRec& record, const std::string& folder, const TimingEntry& timing);

// A duration as the panes show it: "%02d:%02d:%02d", hours not limited to 99.
std::string DurationText(std::uint32_t seconds);

// A start time (seconds since 1970) in local time as "%04d/%02d/%02d:%02d:%02d:%02d"; "?" when
// the system cannot convert it.
std::string StartTimeText(std::uint32_t seconds);

// The details' stream line: "VID: %d | AID: %d | PID: %d | ecmPID: %d".
std::string StreamLine(const StreamIds& streams);

}  // namespace vmx
