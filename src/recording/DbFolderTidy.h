#pragma once

#include "recdb/DbCheck.h"
#include "recording/CutSteps.h"

#include <string>
#include <vector>

namespace vmx {

// What tidying a folder found and did.
struct TidyReport {
    std::vector<std::string> removed;   // leftover files removed (paths)
    std::vector<std::string> restored;  // part files that took their names again (paths)
    std::vector<InterruptedCut> cuts;   // the plans of interrupted cuts found, one per database
    std::vector<std::string> finished;  // interrupted undos finished
    std::vector<std::string> problems;  // what was left as it is, and why
    // The folder's database files as the tidying read them, while it changed nothing that a
    // database names (no cut finished, no file removed or restored, no undo finished); else none.
    std::vector<DbFileRead> reads;

    // One sentence for each thing the user should know, nothing when all was in order: what was
    // finished (settled()), then what is still wrong (unsettled()).
    std::vector<std::string> notes() const;
    // The sentences of what was put in order: cuts finished, part files that took their names.
    std::vector<std::string> settled() const;
    // The sentences that report something still wrong (a cut that could not be finished, a journal
    // set aside, a file left alone), for a check to count as problems.
    std::vector<std::string> unsettled() const;
};

// Puts a database folder in order before the next operation on any of its databases, whose
// caller holds the folder's lock: finishes the cuts that were interrupted (each plan checked
// against its database first, and set aside when it does not agree), settles the part files of
// interrupted copies and deletions (SettleStagedParts) by what every database of the folder names,
// settles the undo entries (SettleUndoEntries), and removes the temporary files of writes that no live program holds any more (PendingFile).
// Nothing that is not ours is touched, and no part file that any database of the folder names is
// removed.
TidyReport TidyFolder(const std::string& folder);

}  // namespace vmx
