#pragma once

#include "recdb/AVMRec.h"

#include <cstdint>
#include <functional>
#include <string>

// The two record stores (side 0 = left pane, side 1 = right pane) and the module flags.
// Store operations return 1 for success and 0 for failure.

unsigned char DBMInitRecord();
void DBMFreeAll();
unsigned char DBMGetSys(int type, AVMRecordTable* table);
unsigned char DBMSetSys(int type, const AVMRecordTable* table);
unsigned char DBMGetRecord(int type, unsigned id, AVMRec* record);
void DBMSetRecord(int type, unsigned id, const AVMRec* record);
unsigned char DBMAllocRecord(int type, std::uint16_t* id, AVMRec* record);
void DBMDeleteRecord(int position);
void DBMCheckRecord();

// True once DBMInitRecord has succeeded.
bool DBMIsInitialized();

// The active side (0 left, 1 right) that type-2 operations and the database files address. It is
// module-wide state: outside this module only the recording session switches it, one operation
// at a time (see vmx::RecordingSession).
void DBMSetActiveSide(int side);
int DBMGetActiveSide();

// The store's own record array of the active side (null before DBMInitRecord).
AVMRec* DBMActiveRecords();

namespace vmx {

// DBMAllocRecord that passes over free records for which `usable(record index)` is false, so a
// caller can skip a record whose part names are taken on disk; it fails as DBMAllocRecord does
// when no free record is usable.
unsigned char AllocRecordWhere(int type, std::uint16_t* id, AVMRec* record, const std::function<bool(int index)>& usable);

// The active side's list as it stands: count, id map and the id of every record (listed, free or
// deleted). An operation that changes the list and then cannot write the database puts it back,
// so that what the user was told holds and no later write finishes the change.
struct StoreList {
    AVMRecordTable table{};
    std::uint16_t ids[kDBMMaxRecords] = {};
};
StoreList SaveActiveList();
void RestoreActiveList(const StoreList& saved);

// The active store's count of listed records (0 before DBMInitRecord).
unsigned ListedCount();

// Records the active store can still take: free list ids and free records, whichever is fewer.
int RoomLeft();

// Takes a record that DBMAllocRecord (or AllocRecordWhere) has just handed out back out of the
// active store, as if it had never been allocated: its list id and the record are free again and
// the count drops by one. For an operation that cannot finish what the new record was for.
void FreeAllocatedRecord(std::uint16_t id);

// A part file of the recording with list id `id` that is not its own alone: listed twice in it,
// or named by another record of the active store too (listed, or deleted and waiting for the
// next write). Names are compared as the receiver's FAT disk compares them, ignoring ASCII
// letter case.
struct SharedPart {
    enum class Kind { None, ListedTwice, OtherRecording };
    Kind kind = Kind::None;
    std::string name;  // the part name as the record that shares it spells it (12 bytes)
    AVMRec other{};    // OtherRecording: the record that names it too
};
SharedPart FindSharedPart(unsigned id);

}  // namespace vmx
