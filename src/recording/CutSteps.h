#pragma once

#include "recdb/DbCheck.h"
#include "recording/CutJournal.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vmx {

// Carries out the file steps of a cut's plan for the database at `dbPath`, whose part files lie in
// its folder, from wherever an earlier run stopped (see CutJournal): each step looks at what is on
// the disk and does only what is still to do. Once the parts phase is done the plan is written
// again (to CutPlanPath) with the names phase, before any part takes its new name. Empty, or the
// sentence saying why it stopped; the plan then stays, to be finished later.
struct CutStepFailure {
    std::string text;          // empty when every step is done
    bool partMissing = false;  // a part is not there or cannot be opened (rather than a full or failing disk)
};
// Told after each step: the steps done and the steps of the whole plan.
using CutStepProgress = std::function<void(std::size_t done, std::size_t total)>;
[[nodiscard]] CutStepFailure RunCutSteps(CutJournal& plan, const std::string& dbPath,
                                         const CutStepProgress& progress = {});

// Removes the cut's plan of the database once the database names the cut's parts, and flushes
// the folder so that the removal is on the disk.
void RemoveCutJournal(const std::string& dbPath);

// What became of a cut that a killed program or a power loss left half done.
struct InterruptedCut {
    bool found = false;     // a plan lay beside the database
    bool finished = false;  // the cut is complete now and its plan gone
    bool setAside = false;  // the plan did not agree with the database: nothing of it was done, it
                            // was put aside (SetAsidePath) for the user to look at
    std::string planPath;
    std::string problem;    // why it was set aside or could not be finished (then the plan stays)
    std::string recording;  // the name of the recording it cuts, when known
    std::vector<std::string> steps;  // what the plan does: "RF0001AB.TRP rewritten", ...
};

// Finishes the cut whose plan lies beside the database at `dbPath`, if there is one: the plan
// must agree with the database and the folder (CheckCutPlanClaims, given the part names of every
// database of the folder in `folderParts`), else it is set aside; then the steps still to do, the
// database's new content (kept in the plan), and the plan goes. A database that already holds the
// content after the cut has every step behind it: only the plan goes. The caller holds the
// folder's lock.
InterruptedCut FinishInterruptedCut(const std::string& dbPath, const FolderParts& folderParts);

// Puts a journal that its database did not confirm aside (SetAsidePath), so that it is never
// carried out and the user can look at it. Empty, or why it could not be moved.
std::string SetJournalAside(const std::string& journalPath);

}  // namespace vmx
