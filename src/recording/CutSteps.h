#pragma once

#include "recording/CutJournal.h"

#include <string>

namespace vmx {

// Carries out the file steps of a cut's plan for the database at `dbPath`, whose part files lie in
// its folder, from wherever an earlier run stopped (see CutJournal): each step looks at what is on
// the disk and does only what is still to do. Once the parts phase is done the plan is written
// again (to CutPlanPath) with the names phase, before any part takes its new name. Empty, or the
// sentence saying why it stopped; the plan then stays, to be finished later.
[[nodiscard]] std::string RunCutSteps(CutJournal& plan, const std::string& dbPath);

// Removes the cut's plan of the database once the database names the cut's parts, and flushes
// the folder so that the removal is on the disk.
void RemoveCutJournal(const std::string& dbPath);

// What became of a cut that a killed program or a power loss left half done.
struct InterruptedCut {
    bool found = false;     // a plan lay beside the database
    bool finished = false;  // the cut is complete now and its plan gone
    std::string problem;    // why it could not be finished; the plan stays
};

// Finishes the cut whose plan lies beside the database at `dbPath`, if there is one: the steps
// still to do, then the database's new content (kept in the plan), then the plan goes. A plan
// whose database has changed since the cut began (neither the content before the cut nor the one
// after it) is left alone. The caller holds the database's lock.
InterruptedCut FinishInterruptedCut(const std::string& dbPath);

}  // namespace vmx
