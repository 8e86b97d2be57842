#pragma once

#include "recording/PaneLoad.h"

#include <string>
#include <vector>

namespace vmx {

struct DeleteResult {
    bool ok = false;      // the database was written
    std::string message;  // what went wrong; empty when all is well
};

// The Delete key's record path on the active side: removes the recordings at `rows` (0-based
// list rows) from the highest row to the lowest, recounts the store unless every recording
// was chosen, and writes the database once; the write removes the recordings' part files from
// the database's folder. Rows that name no recording, or a recording whose part names are not
// plain file names, refuse the whole deletion.
DeleteResult DeleteRecordRows(const std::vector<int>& rows);

// The same for a loaded side, whose timing list loses the rows' entries.
DeleteResult DeleteRecordRows(LoadedPane& pane, const std::vector<int>& rows);

}  // namespace vmx
