#pragma once

#include "recording/LoadedPane.h"
#include "recording/PaneRefresh.h"
#include "recording/UndoStore.h"

#include <string>
#include <vector>

namespace vmx {

struct DeleteResult {
    bool ok = false;      // the database was written
    std::string message;  // what went wrong; empty when all is well
    std::vector<std::string> removedFiles;  // part files of the deleted recordings now gone
    std::vector<std::string> keptFiles;     // sentences: names of parts left in place, and why
    std::string keptIn;  // the undo entry that keeps the recordings and their part files, or empty
    std::vector<std::string> undoNotes;  // why nothing could be kept for undo, what undo let go for room
    PaneRefresh refresh;
};

inline constexpr UndoKeep kNoUndo{false, 0};

// The Delete key's record path on the pane's side: removes the recordings at `rows` (0-based list
// rows) from the highest row to the lowest, recounts the store unless every recording was chosen,
// and writes the database once through `writeDb`. The recordings' part files leave the folder under
// their staged names (see StagedParts) before the write and are removed after it; a part that
// another recording of any database of the folder names stays, and so does a name that is not a
// regular file (a folder, say), which is said. Rows that name no recording, or a recording whose
// part names are not plain file names, refuse the whole deletion. The pane's timing list loses the
// rows' entries. A database that cannot be written leaves the store and the timing list as they
// were. With `keep` enabled the staged part files move into an undo entry instead of being removed,
// with the recordings as they were (see UndoStore): written Pending before the database, Kept after.
// A deletion that cannot keep them (no room for the manifest, say) goes on without, and says so.
DeleteResult DeleteRecordRows(LoadedPane& pane, const std::vector<int>& rows, const WritePaneDb& writeDb,
                              const UndoKeep& keep = kNoUndo);

}  // namespace vmx
