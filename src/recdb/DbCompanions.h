#pragma once

#include <string>
#include <string_view>

namespace vmx {

// The files velmorix keeps in a database's folder while it works, all hidden (a part name never
// begins with '.', so none of them can pass for a part file):
//
//   .velmorix.lock          the folder's lock (FileLock): one writer at a time for every database
//                           of the folder, DZT000.DB and DZR000.DB alike, which share one space of
//                           part names; it exists only while somebody holds it
//   .DZT000.DB.cut          the plan of a cut under way (see CutJournal), removed once the cut is
//                           in the database
//   .DZT000.DB.cut-NNN      a part of a cut on its way from its old name to its new one
//   .velmorix~RF0001AA.TRP  the part file RF0001AA.TRP on its way into the folder (a copy) or out
//                           of it (a deletion): see StagedParts
//   .velmorix-undo/DZT000.DB/NNNNNN/
//                           what a deletion or a cut of DZT000.DB destroyed, kept for undo: the
//                           manifest, the removed part files under their names, the packets a cut
//                           replaced (see UndoManifest); emptied on request
//   ...set-aside            a journal found on the disk that its database did not confirm; it was
//                           not carried out and stays for the user to look at
//
// A database reached through a symbolic link is refused before anything is done, so all of them
// lie in the folder that holds the database the user chose.

std::string FolderLockPath(const std::string& dbPath);
std::string CutPlanPath(const std::string& dbPath);
// The name (without folder) of kept part `index` of a cut between its two names.
std::string CutTransitName(const std::string& dbPath, int index);
// True when `name` is such a name of the database at `dbPath`.
bool IsCutTransitNameOf(std::string_view name, const std::string& dbPath);

// The name (without folder) under which the part file `partName` is on its way in or out.
std::string StagedPartName(std::string_view partName);
// True for such a name whose part name is a usable one.
bool IsStagedPartName(std::string_view name);
// The part name within such a name.
std::string PartNameOfStaged(std::string_view name);

// The folder of the undo entries of every database of `folder` (ending in '/').
std::string UndoRootOf(const std::string& folder);
// The folder of the undo entries of the database at `dbPath` (ending in '/').
std::string UndoFolderOf(const std::string& dbPath);
// The folder of undo entry `seq` of the database named `dbName`, relative to the database's
// folder: ".velmorix-undo/DZT000.DB/000003/".
std::string UndoEntryName(const std::string& dbName, unsigned seq);
// True when `relative` is such a name for the database named `dbName`; `seq`, when given, gets
// its number.
bool IsUndoEntryName(std::string_view relative, const std::string& dbName, unsigned* seq = nullptr);

// Where a journal that its database did not confirm is put aside.
std::string SetAsidePath(const std::string& journalPath);

// Why a database path must not be used, or empty: a symbolic link would have the lock, the backup
// and the temporary files of its writes made outside the folder the user chose.
std::string DbPathRefusal(const std::string& dbPath);

}  // namespace vmx
