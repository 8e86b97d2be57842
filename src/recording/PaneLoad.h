#pragma once

#include "recording/Timing.h"

#include <string>
#include <vector>

namespace vmx {

// A database loaded into one side, as a pane of the main view holds it.
struct LoadedPane {
    int side = 0;
    std::string dbPath;
    std::string folder;  // the database's folder, ending in '/' (or empty for the current one)
    std::vector<TimingEntry> timing;  // one entry per listed recording, in list order
};

// Makes `side` active, points it at `dbPath` and reads the database into its store, then
// measures every listed recording (extA takes the measured total size). The record store must
// be initialised (DBMInitRecord, AVMInitFileCache). Returns an empty string on success, else a
// sentence saying what is wrong; a failed load leaves the store as it was.
std::string LoadPane(int side, const std::string& dbPath, LoadedPane& pane);

// Prepares the record store and the file cache once per process. Returns false when memory
// cannot be had.
bool InitRecordDatabase();

}  // namespace vmx
