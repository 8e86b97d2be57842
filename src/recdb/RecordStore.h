#pragma once

#include "recdb/AVMRec.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vmx {

// A part file of the recording with list id `id` that is not its own alone: listed twice in it,
// or named by another record of the store too (listed, or deleted and waiting for the next
// write). Names are compared as the receiver's FAT disk compares them, ignoring ASCII letter case.
struct SharedPart {
    enum class Kind { None, ListedTwice, OtherRecording };
    Kind kind = Kind::None;
    std::string name;  // the part name as the record that shares it spells it (12 bytes)
    AVMRec other{};    // OtherRecording: the record that names it too
};

// The recordings of one database: the record table (count and id map) and its 200 records, plus
// the three pseudo-records that ids 0xFFFF, 0xFFFE and 0xFFFD deliver. A value: each pane owns
// one (LoadedPane::store), the reader fills the store it is handed and the writer writes it.
// Copies copy the records.
class RecordStore {
public:
    RecordStore();
    RecordStore(const RecordStore& other);
    RecordStore& operator=(const RecordStore& other);
    ~RecordStore();

    // The table: count, id map and the store's own record array.
    AVMRecordTable table() const;
    // Takes count, id map and the further word of `table`; the store keeps its own records.
    void setTable(const AVMRecordTable& table);
    AVMRec* records() { return m_records.get(); }
    const AVMRec* records() const { return m_records.get(); }
    // The record index of list id `id` (also for a pseudo id: -1), or -1 when the id is not listed.
    int indexOf(unsigned id) const;

    // The record with list id `id` or a pseudo id; false (tracing why) when there is none.
    bool get(unsigned id, AVMRec& record) const;
    // Stores `record` under list id `id` or a pseudo id; an id that is not listed stores nothing.
    void set(unsigned id, const AVMRec& record);
    // Gives the first free list id to the first free record for which `usable(record index)` is
    // true (any free record when `usable` is empty), so a caller can skip a record whose part names
    // are taken on disk; `record` receives the record as it stands. False when there is no free id
    // or no usable free record.
    bool alloc(std::uint16_t& id, AVMRec& record, const std::function<bool(int index)>& usable = {});
    // Lists `record` again at list position `position` (0..count): in the free record
    // `preferredIndex` when it is free, else in the first free one; the later ids move up. False
    // when the store has no free id or record.
    bool insert(int position, const AVMRec& record, int preferredIndex);
    // Marks the record at list position `position` (id - 1) deleted and moves the later ids down.
    void remove(int position);
    // Sets the count to the number of ids that name a listed record.
    void recount();

    // The count of listed records.
    unsigned listedCount() const { return m_table.count; }
    // Records the store can still take: free list ids and free records, whichever is fewer.
    int roomLeft() const;
    SharedPart findSharedPart(unsigned id) const;

private:
    AVMRecordTable m_table{};
    std::unique_ptr<AVMRec[]> m_records;
    AVMRec m_pseudo[3];
};

// The one store that the DBM functions below work on: set up by DBMInitRecord, released by
// DBMFreeAll. Only valid in between (HasCurrentStore).
RecordStore& CurrentStore();
bool HasCurrentStore();

}  // namespace vmx

// The DBM functions work on vmx::CurrentStore() for type 2 (recordings); types 3, 4 and 5 have
// tables but never records. Store operations return 1 for success and 0 for failure.

unsigned char DBMInitRecord();
void DBMFreeAll();
unsigned char DBMGetSys(int type, AVMRecordTable* table);
unsigned char DBMSetSys(int type, const AVMRecordTable* table);
unsigned char DBMGetRecord(int type, unsigned id, AVMRec* record);
void DBMSetRecord(int type, unsigned id, const AVMRec* record);
unsigned char DBMAllocRecord(int type, std::uint16_t* id, AVMRec* record);
void DBMDeleteRecord(int position);
void DBMCheckRecord();


