#pragma once

#include "recdb/AVMRec.h"

#include <string>

// Writing the active side's record store back into its database file, always as version 5.
// Status: 0 success, 1 failure.
//
// The file is replaced as a whole: the new content goes to a temporary file in the database's
// folder, is flushed to disk and renamed over the database, and the previous content is kept
// as the companion with the same base name and the extension ".BAK". Part files of records
// deleted since the last write are removed from the database's folder once the new database is
// in place, except files that a listed recording still names.

unsigned char AVMRenameDbFile(int type);
unsigned char AVMDeleteRecordFiles(AVMRec* record, int type);
unsigned char AVMWriteDb(int type);

// The backup companion of a database path: same folder and base name, extension ".BAK".
std::string AVMBackupPathOf(const std::string& dbPath);

// Writes the 6-byte empty database (version 5, header size 6, count 0) to a new file; refuses
// an existing file. Returns an empty string on success, else what went wrong.
std::string AVMCreateEmptyDb(const std::string& dbPath);
