#pragma once

#include <string>
#include <string_view>

namespace vmx {

// The files velmorix keeps beside a database, named after it and hidden (a part name never
// begins with '.', so none of them can pass for a part file, and each belongs to one database of
// a folder that holds DZT000.DB and DZR000.DB side by side):
//
//   .DZT000.DB.lock     the lock one writer at a time holds (see FileLock); never removed
//   .DZT000.DB.cut      the plan of a cut under way (see CutJournal), removed once the cut is in
//                       the database
//   .DZT000.DB.parts    part files that belong to no recording unless the database names them:
//                       those a copy is making, or those of recordings being deleted (PartsJournal)
//   .DZT000.DB.cut-NNN  a part of a cut on its way from its old name to its new one
//
// They lie beside the database file itself: where its path is a symbolic link, beside the file
// the link names, as the database's backup does.

// The database file a path stands for: the path itself, or where it points when it is a
// symbolic link.
std::string DbFileBehind(const std::string& dbPath);

std::string DbLockPath(const std::string& dbPath);
std::string CutPlanPath(const std::string& dbPath);
std::string PartsJournalPath(const std::string& dbPath);
// The name (without folder) of kept part `index` of a cut between its two names.
std::string CutTransitName(const std::string& dbPath, int index);
// True when `name` is such a name of the database at `dbPath`.
bool IsCutTransitNameOf(std::string_view name, const std::string& dbPath);

}  // namespace vmx
