#pragma once

#include "recording/LoadedPane.h"
#include "recording/PaneRefresh.h"
#include "recording/UserInterface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vmx {

// Texts of the new-database offer.
inline constexpr const char* kNoInformationQuestion =
    "There is no information in the list. Do you want to create new file?";
inline constexpr const char* kDbCreatedMessage = "DB File Creatation complete!";
inline constexpr const char* kDbFileFilter = "PVR DB file(*.DB)|*.DB||";

// The name offered for a new database: "DZR000" when either side's database name begins with
// "DZR" (the left one asked first), otherwise "DZT000".
std::string DefaultNewDbName(const std::string& leftDbName, const std::string& rightDbName);

// One recording a transfer registered in the target.
struct CopiedRecording {
    int sourceRow = 0;
    std::uint16_t id = 0;                // its list id in the target
    std::vector<std::string> partPaths;  // the part files made for it in the target's folder
};

struct TransferResult {
    int copied = 0;          // recordings registered in the target
    int failed = 0;          // recordings that could not be copied (the user was told why)
    bool cancelled = false;  // the user stopped the transfer in the copy window
    bool refused = false;    // nothing was tried (bad rows, full store, too little space,
                             // a target database that cannot be written)
    bool dbWritten = false;  // the closing write of the target database succeeded
    std::vector<CopiedRecording> copies;  // in the order they were copied
    std::vector<std::string> warnings;    // what the user was told about a transfer that succeeded
    PaneRefresh refresh;

    // Every chosen recording was copied and registered. The closing write only repeats the write
    // after the last recording, so its failure is a warning, not a failure of the transfer: a
    // retry would copy the recordings a second time.
    bool done() const { return !refused && !cancelled && failed == 0; }
};

// Copies the recordings at `rows` of the source pane into the target pane: every part file is copied into the target's folder
// under the new record's prefix, each recording is registered and the target database written
// (through `writeTarget`) after it, and once more at the end; `writeTarget` keeps the target's
// .BAK as it stood before the transfer. A new record whose part names are taken by files already on
// the disk takes the next free record slot whose names are free (the user is told; those files are
// never touched). A recording whose copy fails leaves nothing behind.
TransferResult TransferRecordings(const LoadedPane& source, LoadedPane& target, std::vector<int> rows,
                                  const WritePaneDb& writeTarget, UserInterface& ui);

}  // namespace vmx
