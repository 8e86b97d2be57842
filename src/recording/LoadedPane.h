#pragma once

#include "recdb/DbReader.h"
#include "recdb/RecordStore.h"
#include "recording/Timing.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace vmx {

// The sides of the main view, one per pane.
inline constexpr int kLeftSide = 0;
inline constexpr int kRightSide = 1;

// The DB kind of a pane before any database was loaded into it.
inline constexpr int kNoDbKind = 6;

// A database loaded into one side, as a pane of the main view holds it: its path and its record
// store. The recording session owns one per side; front ends read them.
struct LoadedPane {
    int side = kLeftSide;
    std::string dbPath;
    std::string folder;    // the database's folder, ending in '/' (or empty for the current one)
    std::string fileName;  // the database's file name, without folder
    int dbKind = kNoDbKind;  // 0 when the file name begins with "DZT", else 1 (kNoDbKind: none)
    DbHeader header;       // the file's header as it stood when it was loaded
    RecordStore store;     // the database's recordings (empty while nothing is loaded)
    std::vector<TimingEntry> timing;  // one entry per listed recording, in list order
    // The slots of the records whose checksum did not match when the file was read; a write of
    // the database gives every record its checksum again.
    std::set<int> damagedSlots;

    // True once a database was loaded into the side (or created for it).
    bool loaded() const { return !dbPath.empty(); }

    // Timing lookups by row (0-based; row r shows list id r + 1). A row without an entry reads
    // as a recording whose last part could not be measured.
    TimingEntry timingAt(int row) const;
    std::uint64_t totalSizeAt(int row) const { return timingAt(row).totalSize; }
    std::uint32_t secondsPerPartAt(int row) const { return timingAt(row).secondsPerPart; }
    std::uint32_t durationAt(int row) const { return timingAt(row).duration; }
    std::uint32_t lastPartSizeAt(int row) const { return timingAt(row).lastPartSize; }
    std::uint32_t secondsInLastPartAt(int row) const { return timingAt(row).secondsInLastPart; }
};

// How an operation writes the database of the pane it changed. The recording session hands each
// operation one, so that every write of a pane's database goes through the session's one write
// function. Returns an empty string, or the sentence saying why nothing was written.
using WritePaneDb = std::function<std::string()>;

// Measures the recording at `row` of the pane again from its part files, stores the entry at that
// row and, when measured, the total size into the record's extA.
void RefreshTimingEntry(LoadedPane& pane, int row);

}  // namespace vmx
