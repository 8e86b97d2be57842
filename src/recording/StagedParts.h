#pragma once

#include "recdb/DbCheck.h"

#include <string>
#include <vector>

namespace vmx {

// Part files on their way into a folder or out of it carry their own name behind a prefix of
// ours (StagedPartName: ".velmorix~RF0001AA.TRP"), so that nothing on the disk is ever a part file
// of no recording that we cannot tell for ours:
//  - a copy writes each new part under its staged name, has the database name the part, and then
//    gives the part its name;
//  - a deletion gives each part of the recordings it removes its staged name, writes the
//    database without them, and then removes the staged files.
// A program killed on the way leaves staged files, and the name says what each one is. The next
// operation on the folder settles them by what the folder's databases say, with nothing else to
// go by (SettleStagedParts): a staged file whose part a recording names and is missing takes
// that name again (the copy is finished, the deletion never happened); one whose part no
// recording names is removed (the copy never happened, the deletion is finished); any other is
// left alone and reported.

// Moves `folder` + `partName` to its staged name or back. 0 or an errno value; never replaces a
// file (EEXIST).
int StagePart(const std::string& folder, const std::string& partName);
int UnstagePart(const std::string& folder, const std::string& partName);

struct StagedSettlement {
    std::vector<std::string> restored;  // part paths that took their name again
    std::vector<std::string> removed;   // staged files removed
    std::vector<std::string> problems;  // staged files left alone, and why
};

// Settles every staged file of `folder` by the part names of its databases (`folderParts`). The
// caller holds the folder's lock, so no live operation is staging files meanwhile.
StagedSettlement SettleStagedParts(const std::string& folder, const FolderParts& folderParts);

}  // namespace vmx
