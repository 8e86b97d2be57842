#pragma once

#include "recdb/DbCheck.h"
#include "recording/UndoManifest.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace vmx {

// The undo entries of a database (see UndoManifest): a deletion or a cut keeps what it would
// destroy in an entry beside the database, on the same disk, so keeping costs renames rather than
// copies; an undo puts it back. Entries are numbered in the order of their operations: the Kept
// ones come first (Undo takes back the last of them), the Undone ones after (Redo does the first
// of them again). A new operation drops the Undone entries, as an editor drops its redo list.
//
// Everything found in the undo folder is a claim, not an order: an entry is only ever carried out
// when its manifest reads back whole, belongs to the database, and what it claims agrees with the
// database and the part files (see UndoLatest). The caller of every function below holds the
// folder's lock.

// How an operation keeps what it destroys.
struct UndoKeep {
    bool enabled = true;
    unsigned seq = 0;  // 0: a new entry; else the entry of an undone operation being done again
};

struct UndoEntryInfo {
    unsigned seq = 0;
    std::string path;  // the entry's folder, ending in '/'
    UndoManifest manifest;
    std::string problem;  // why the entry cannot be used (its manifest is missing or damaged)
};

// The entries of the database at `dbPath`, by number.
std::vector<UndoEntryInfo> ListUndoEntries(const std::string& dbPath);

// Opens the entry an operation on the database keeps into: a new one after the last, once the
// Undone entries are dropped, or the entry `keep.seq` (a redo), emptied of what it held. `entry`
// gets its folder. Empty, or why nothing can be kept.
[[nodiscard]] std::string OpenUndoEntry(const std::string& dbPath, const UndoKeep& keep, std::string& entry);

// Drops an entry: its folder is renamed out of the way in one step, then removed.
void DiscardUndoEntry(const std::string& entry);

// Sets the state of the entry's manifest. Empty, or why it could not be written.
[[nodiscard]] std::string SetUndoState(const std::string& entry, UndoManifest::State state);

// A Pending entry becomes Kept: its operation is in the database.
void ConfirmUndoEntry(const std::string& entry);

// What the undo folder of a database offers.
struct UndoSummary {
    std::string undoLabel;    // what Undo takes back (UndoLabel), or empty
    std::string redoLabel;    // what Redo does again, or empty
    std::uint64_t bytes = 0;  // what the folder keeps (part files and packets)
    int entries = 0;
    std::vector<std::string> problems;  // entries that cannot be used, and why
};
UndoSummary SummarizeUndo(const std::string& dbPath);

// Empties the undo folder of the database: renamed out of the way in one step, then removed, so
// that a kill leaves either everything or nothing of it. `freed` gets the bytes it kept. Empty, or
// why it could not be emptied.
[[nodiscard]] std::string EmptyUndo(const std::string& dbPath, std::uint64_t* freed = nullptr);

// Makes `needed` bytes free on the disk of `folder` by dropping the oldest Kept entries of its
// databases, one at a time. Gives a sentence for each entry let go.
std::vector<std::string> TakeRoomFromUndo(const std::string& folder, std::uint64_t needed);

// "12.3 MiB": what an undo folder holds, for a sentence.
std::string UndoBytesText(std::uint64_t bytes);

// The part names (upper-cased) that the Kept and Pending entries of the databases of `folder` would
// give back: a copy passes them over, so that an undo finds them free.
std::set<std::string> UndoHeldPartNames(const std::string& folder);

// Bytes free on the disk of `folder`; UINT64_MAX when they cannot be told, so that nothing is
// dropped or shortened to make room that may be there.
std::uint64_t FreeBytesOf(const std::string& folder);

// Takes back the last Kept operation of the database at `dbPath`, or finishes one an earlier
// undo began. `label` gets what it took back.
struct UndoOutcome {
    bool done = false;
    std::string label;
    std::string problem;  // why nothing was done (the entry stays as it was)
};
UndoOutcome UndoLatest(const std::string& dbPath, const FolderParts& folderParts);

// Puts the undo folders of `folder` in order after an interrupted run, once interrupted cuts and
// staged parts are settled: removes what was being dropped, finishes undos that were under way,
// and settles Pending entries by what the database says. Part files that an interrupted deletion
// staged but did not yet move into its entry are moved there first (AdoptStagedParts).
struct UndoSettlement {
    std::vector<std::string> notes;     // what was finished
    std::vector<std::string> problems;  // what was left alone, and why
};
UndoSettlement SettleUndoEntries(const std::string& folder, const FolderParts& folderParts);
// The staged part files (".velmorix~NAME") that no database of the folder names and that the
// Pending or Kept deletion entry of a database lists but does not hold: moved into that entry.
// Gives their paths.
std::vector<std::string> AdoptStagedParts(const std::string& folder, const FolderParts& folderParts);

}  // namespace vmx
