#pragma once

#include "recdb/AVMRec.h"
#include "recdb/RecordStore.h"

#include <cstdint>
#include <string>
#include <vector>

// Writing a record store back into its database file, always as version 5.
// Status of the AVM functions: 0 success, 1 failure.
//
// The file is replaced as a whole: the new content goes to a temporary file in the database's
// folder, is flushed to disk and renamed over the database. Bytes of the old file beyond the new
// content are carried over, as an in-place update would have kept them. Part files of records
// deleted since the last write are removed from the database's folder once the new database is
// in place, except files that a listed recording still names.
//
// The backup: a write keeps the previous content as the companion with the same base name and the
// extension ".BAK". One user operation that writes the database several times (a copy writes it
// after every recording and once more at the end) keeps one backup, taken by its first write that
// succeeds (vmx::DbOperation), so the .BAK holds the database as it stood before the operation.

unsigned char AVMRenameDbFile(int type);
unsigned char AVMDeleteRecordFiles(AVMRec* record, int type);
// vmx::WriteDb of vmx::CurrentStore() to vmx::CurrentDbPath(): one write of its own, the .BAK
// takes the database as it stood before it.
unsigned char AVMWriteDb(int type);

namespace vmx {

// Writes the 6-byte empty database (version 5, header size 6, count 0) to a new file; refuses
// an existing file. Returns an empty string on success, else what went wrong.
std::string CreateEmptyDb(const std::string& dbPath);

// The backup companion of a database path: same folder and base name, extension ".BAK".
std::string BackupPathOf(const std::string& dbPath);

// Whether a write puts the database as it stood before it into the .BAK.
enum class BackupChoice {
    Replace,  // the .BAK takes the previous content
    Keep,     // the .BAK stays as it is (an earlier write of the same operation made it)
};

// Writes `store` into the existing database at `dbPath`. Empty on success, else one sentence
// naming the real file and the reason ("No space left on device"). On failure the store is as it
// was (records deleted since the last write stay deleted, to go with the next write).
//
// A full disk. Deleting recordings is how a user frees room, so a write must not need any: when
// the new file or the backup cannot be written for lack of room, a change within one page of the
// file (a renamed recording) is written over the old bytes in place, and any other change is
// written into the room of the .BAK, which then swaps names with the database in one step. Both
// leave the database whole whenever the program is killed or the power goes. Only when neither
// can be done does the write fail, saying "No space left on device".
[[nodiscard]] std::string WriteDb(RecordStore& store, const std::string& dbPath,
                                  BackupChoice backup = BackupChoice::Replace);

// The content WriteDb would write for `store`, changing nothing
// (the cut keeps it in its plan, to finish a cut that was interrupted). Empty, or why not.
[[nodiscard]] std::string RenderDb(RecordStore& store, std::vector<std::uint8_t>& content);

// Writes `content`, rendered by RenderDb, as the new content of the database at `dbPath`, the way
// WriteDb writes (bytes of the old file beyond it kept, the backup as chosen, the ways for a full
// disk). Empty, or the sentence saying why nothing was written.
[[nodiscard]] std::string WriteDbContent(const std::string& dbPath, const std::vector<std::uint8_t>& content,
                                         BackupChoice backup);

// Whether CheckDbWritable also asks for room on the disk.
enum class RoomCheck { Require, Skip };

// Checks, without changing anything, what a write of the database at `dbPath` needs: the file
// opens for writing and is not read-only, its folder takes a new file, no folder stands where the
// backup goes, and (RoomCheck::Require) the disk has room for the new file and the backup beside
// the old ones. Operations that change part files first call it before they ask, so that a
// database they cannot write changes nothing; a deletion skips the room, which it does not need.
// Empty when the write can go ahead.
[[nodiscard]] std::string CheckDbWritable(const std::string& dbPath, RoomCheck room = RoomCheck::Require);

// The database writes of one user operation: the first write of a database that succeeds
// replaces its .BAK, later writes of the same database keep it.
class DbOperation {
public:
    [[nodiscard]] std::string write(RecordStore& store, const std::string& dbPath);

private:
    std::string m_backedUp;  // the database whose backup this operation has taken
};

}  // namespace vmx
