#pragma once

#include "recording/Timing.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vmx {

// A database loaded into one side, as a pane of the main view holds it.
struct LoadedPane {
    int side = 0;
    std::string dbPath;
    std::string folder;  // the database's folder, ending in '/' (or empty for the current one)
    std::vector<TimingEntry> timing;  // one entry per listed recording, in list order

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

// Measures the recording at `row` of the pane's side again from its part files, stores the entry
// at that row and, when measured, the total size into the record's extA. Makes the side active.
void RefreshTimingEntry(LoadedPane& pane, int row);

// Makes `side` active, points it at `dbPath` and reads the database into its store, then
// measures every listed recording (extA takes the measured total size). The record store must
// be initialised (DBMInitRecord, AVMInitFileCache). Returns an empty string on success, else a
// sentence saying what is wrong; a failed load leaves the store as it was.
std::string LoadPane(int side, const std::string& dbPath, LoadedPane& pane);

// Prepares the record store and the file cache once per process. Returns false when memory
// cannot be had.
bool InitRecordDatabase();

}  // namespace vmx
