#pragma once

#include "recording/CutSteps.h"

#include <string>
#include <vector>

namespace vmx {

// What tidying a database's folder found and did.
struct TidyReport {
    std::vector<std::string> removed;  // leftover files removed (paths)
    InterruptedCut cut;                // a cut that was interrupted, finished or not
    std::string partsProblem;          // why the journal of part files was left as it is

    // One sentence for each thing the user should know, nothing when all was in order.
    std::vector<std::string> notes(const std::string& dbPath) const;
};

// Puts the folder of the database at `dbPath` in order before the next operation on it, whose
// caller holds the database's lock: finishes a cut that was interrupted (CutJournal), removes the
// part files of an interrupted copy or deletion that no database of the folder names
// (PartsJournal), and removes the temporary files of database writes, backups and copies that no
// live program holds any more (PendingFile). Nothing that is not ours is touched.
TidyReport TidyDatabaseFolder(const std::string& dbPath);

}  // namespace vmx
