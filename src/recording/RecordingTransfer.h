#pragma once

#include "recording/PaneLoad.h"
#include "recording/UserInterface.h"

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

enum class OfferOutcome {
    NotNeeded,  // the target already holds recordings or a database
    Declined,   // the user said No or cancelled the chooser
    Created,    // an empty database was created and loaded into the target
    Failed,     // it could not be created or loaded (the user was told why)
};

// Offers to create an empty database for a target side that has none: asks, lets the user name
// the file, writes the 6-byte empty database (never over an existing file) and loads it.
OfferOutcome OfferNewDb(LoadedPane& target, const std::string& leftDbName, const std::string& rightDbName,
                        UserInterface& ui);

struct TransferResult {
    int copied = 0;          // recordings registered in the target
    int failed = 0;          // recordings that could not be copied (the user was told why)
    bool cancelled = false;  // the user stopped the transfer in the copy window
    bool refused = false;    // nothing was tried (bad rows, full store, too little space,
                             // a target database that cannot be written)
    bool dbWritten = false;  // the closing write of the target database succeeded

    // Every chosen recording was copied and registered. The closing write only repeats the write
    // after the last recording, so its failure is a warning, not a failure of the transfer: a
    // retry would copy the recordings a second time.
    bool done() const { return !refused && !cancelled && failed == 0; }
};

// Copies the recordings at `rows` of the source side into the target side: every part file is
// copied into the target's folder under the new record's prefix, each recording is registered
// and the target database written after it, and once more at the end; the target's .BAK keeps
// the database as it stood before the transfer. A new record whose part names are taken by files
// already on the disk takes the next free record slot whose names are free (the user is told;
// those files are never touched). A recording whose copy fails leaves nothing behind. Ends with
// the target side active.
TransferResult TransferRecordings(LoadedPane& source, LoadedPane& target, std::vector<int> rows, UserInterface& ui);

}  // namespace vmx
