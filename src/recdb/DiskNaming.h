#pragma once

#include "recdb/AVMRec.h"

#include <string>
#include <string_view>

// Names of the receiver disk's folders, databases and part files, and the database path that
// AVMReadDb and AVMWriteDb open.

// Writes the receiver-side path or name of a name type (0..18) into `text` (at least 256
// bytes). Returns 1 when `text` is null, 0 otherwise (also for an unknown type, which writes
// nothing).
unsigned char AVMMakeNameString(char* text, int nameType);

// Writes the record prefix "RF%04d" (the record's index in vmx::CurrentStore() plus one) into
// `text` (at least 7 bytes).
void AVMMakeRecordPrefix(const AVMRec* record, char* text);

inline constexpr std::size_t kAVMMaxPath = 511;

namespace vmx {

// The retry-name flag: clear, the base names end in '5'; set, in '0'.
void SetRetryName(bool set);
bool RetryName();

// True when a part name may be used as a file name in the database's folder: exactly 12
// printable ASCII characters, no '/' or '\', not starting with '.', not ending in '.' or ' ' (a
// FAT disk drops those and finds another file), and not the name of a
// database file or a companion of one (ending in ".DB", ".BAK" or ".TMP" as the receiver's FAT
// disk reads it, see vmx::FatNameKey). Names read from a damaged or hostile database may be
// anything; such a record is listed but no file of it is touched.
bool IsSafePartName(const char* name);

// True when every part name of the record is safe.
bool RecordHasSafeParts(const AVMRec& record);

// The part name as text for messages, with unprintable bytes shown as \xNN.
std::string PrintablePartName(const char* name);

class RecordStore;

// The record prefix "RF%04d" of `record`: its index in `store` plus one; for a record the store
// does not list, its own slot.
std::string RecordPrefix(const RecordStore& store, const AVMRec& record);

// True when `path` may name a database: at most kAVMMaxPath characters and no zero byte.
bool FitsDbPath(const std::string& path);

// The database file that AVMReadDb and AVMWriteDb open; false (nothing changed) for a path that
// does not fit.
bool SetCurrentDbPath(const std::string& path);
const std::string& CurrentDbPath();

// A file name as the receiver's FAT disk compares it: letter case ignored (upper-cased) and
// trailing dots and blanks dropped, so "dzt000.db.." and "DZT000.DB" are one file there.
std::string FatNameKey(std::string_view name);

// IsSafePartName, and besides not the file name of the database at `dbPath` itself: a part
// file of that name would be the database.
bool IsSafePartNameOf(const char* name, const std::string& dbPath);

}  // namespace vmx
