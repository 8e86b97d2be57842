#pragma once

#include "recdb/DbCheck.h"
#include "recording/CutJournal.h"

#include <string>
#include <vector>

namespace vmx {

// A cut's plan found beside a database is a claim, not an order: anybody can put a file onto a
// USB disk, a plan can be copied along with a folder, or be left from another time. Before any
// step of it is carried out, the plan must agree with the database it belongs to, as the
// database stands (before the cut):
//  - its database content after the cut changes one recording, and of that recording only its
//    parts, part count, duration and size; every other recording stays as it is (its size may be
//    measured anew);
//  - it rewrites and removes only parts of that recording, removes only parts the recording no
//    longer names after the cut, renames only parts of it, and only to names the recording names
//    after the cut;
//  - none of those names belongs to any other recording of any database of the folder.
// Transit names (CutTransitName) are the plan's own.
struct CutPlanCheck {
    std::string problem;  // empty when the plan may be carried out
    AVMRec recording{};   // the recording the plan cuts, as the database holds it before the cut
    int recordIndex = -1;
};

CutPlanCheck CheckCutPlanClaims(const CutJournal& plan, const std::string& dbPath, const FolderParts& folderParts);

}  // namespace vmx
