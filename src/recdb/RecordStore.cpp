#include "recdb/RecordStore.h"

#include "recdb/Trace.h"

#include "common/AsciiCase.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <memory>
#include <new>

namespace {

constexpr int kSides = 2;

struct Store {
    AVMRecordTable table;
    std::unique_ptr<AVMRec[]> records;
};

struct Module {
    bool initialized = false;
    int activeSide = 0;
    Store sides[kSides];
    AVMRecordTable type3;  // same layout as recordings, never given records
    AVMRecordTable type4;  // 820-byte records, never given records
    AVMRecordTable type5;  // 816-byte records, never given records
    AVMRec pseudo[3];      // ids 0xFFFF, 0xFFFE, 0xFFFD
};

Module g;

bool isRecordIndex(std::uint16_t mapEntry)
{
    return mapEntry < kDBMMaxRecords;
}

// The table a type code names (type 2: the active side's), or null for other codes.
AVMRecordTable* tableOf(int type)
{
    switch (type & 0xFF) {
    case 2: return &g.sides[g.activeSide].table;
    case 3: return &g.type3;
    case 4: return &g.type4;
    case 5: return &g.type5;
    default: return nullptr;
    }
}

AVMRec* pseudoRecord(unsigned id)
{
    switch (id) {
    case kDBMPseudoId1: return &g.pseudo[0];
    case kDBMPseudoId2: return &g.pseudo[1];
    case kDBMPseudoId3: return &g.pseudo[2];
    default: return nullptr;
    }
}

void clearTable(AVMRecordTable& table)
{
    table.count = 0;
    for (auto& entry : table.idMap)
        entry = kDBMMapFree;
    table.extra = 0;
}

bool initSide(Store& store)
{
    clearTable(store.table);
    store.table.records = nullptr;
    store.records.reset(new (std::nothrow) AVMRec[kDBMMaxRecords]);
    if (!store.records) {
        DBMTrace("infor: DBMInitRecord error alloc 1.");
        return false;
    }
    DBMTrace("debug: records(0x%lx) size(0x%zx).",
             static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(store.records.get())),
             sizeof(AVMRec) * kDBMMaxRecords);
    std::memset(store.records.get(), 0, sizeof(AVMRec) * kDBMMaxRecords);
    store.table.records = store.records.get();
    return true;
}

}  // namespace

unsigned char DBMInitRecord()
{
    DBMTrace("debug: Right DBMInitRecord <.");
    if (!initSide(g.sides[1]))
        return 0;
    DBMTrace("debug: DBMInitRecord <.");
    if (!initSide(g.sides[0]))
        return 0;
    clearTable(g.type3);
    clearTable(g.type4);
    clearTable(g.type5);
    g.type3.records = g.type4.records = g.type5.records = nullptr;

    std::memset(g.pseudo, 0, sizeof g.pseudo);
    g.pseudo[0].id = kDBMPseudoId1;
    g.pseudo[0].extA = 0xF0000000u;
    g.pseudo[1].id = kDBMPseudoId2;
    g.pseudo[1].extA = 0xF0000000u;
    g.pseudo[2].id = kDBMPseudoId3;
    g.pseudo[2].extA = 0x10000000u;
    g.pseudo[2].vid = 3;
    g.pseudo[2].aid = 2;
    g.pseudo[2].pid = 4;

    g.initialized = true;
    DBMTrace("debug: DBMInitRecord ok.");
    return 1;
}

void DBMFreeAll()
{
    for (auto& store : g.sides) {
        store.records.reset();
        store.table.records = nullptr;
    }
    // Nothing may reach the released arrays any more.
    g.initialized = false;
}

bool DBMIsInitialized()
{
    return g.initialized;
}

void DBMSetActiveSide(int side)
{
    g.activeSide = side == 0 ? 0 : 1;
}

int DBMGetActiveSide()
{
    return g.activeSide;
}

AVMRec* DBMActiveRecords()
{
    return g.initialized ? g.sides[g.activeSide].records.get() : nullptr;
}

unsigned char DBMGetSys(int type, AVMRecordTable* table)
{
    if (!g.initialized) {
        DBMTrace("infor: DBM Record not yet initialized.");
        return 0;
    }
    if (const AVMRecordTable* source = tableOf(type); source && table)
        *table = *source;
    return 1;
}

unsigned char DBMSetSys(int type, const AVMRecordTable* table)
{
    if (!g.initialized) {
        DBMTrace("infor: DBM Record not yet initialized.");
        return 0;
    }
    if (AVMRecordTable* target = tableOf(type); target && table) {
        // The record array belongs to the store; a table handed in cannot replace it.
        AVMRec* own = target->records;
        *target = *table;
        target->records = own;
    }
    return 1;
}

unsigned char DBMGetRecord(int type, unsigned id, AVMRec* record)
{
    if (!g.initialized)
        return 0;
    AVMRecordTable* table = tableOf(type);
    if (!table) {
        DBMTrace("infor: DBMGetRecord error type(%d).", type & 0xFF);
        return 0;
    }
    if ((type & 0xFF) == kDBMTypeRecord) {
        if (AVMRec* pseudo = pseudoRecord(id)) {
            if (record)
                *record = *pseudo;
            return 1;
        }
    }
    if (id == 0 || id > kDBMMaxIds) {
        DBMTrace("infor: DBMGetRecord error index(%d).", static_cast<int>(id));
        return 0;
    }
    const std::uint16_t index = table->idMap[id - 1];
    if (!isRecordIndex(index) || !table->records)
        return 0;
    if (record)
        *record = table->records[index];
    return 1;
}

void DBMSetRecord(int type, unsigned id, const AVMRec* record)
{
    if (!g.initialized || !record || (type & 0xFF) != kDBMTypeRecord)
        return;
    if (AVMRec* pseudo = pseudoRecord(id)) {
        *pseudo = *record;
        return;
    }
    if (id == 0 || id > kDBMMaxIds) {
        DBMTrace("infor: DBMGetRecord error index(%d).", static_cast<int>(id));
        return;
    }
    AVMRecordTable& table = g.sides[g.activeSide].table;
    const std::uint16_t index = table.idMap[id - 1];
    if (isRecordIndex(index))
        table.records[index] = *record;
}

unsigned char DBMAllocRecord(int type, std::uint16_t* id, AVMRec* record)
{
    return vmx::AllocRecordWhere(type, id, record, [](int) { return true; });
}

unsigned char vmx::AllocRecordWhere(int type, std::uint16_t* id, AVMRec* record,
                                    const std::function<bool(int index)>& usable)
{
    if (!g.initialized)
        return 0;
    AVMRecordTable* table = tableOf(type);
    if (!table) {
        DBMTrace("infor: DBMAllocRecord error type(%d).", type & 0xFF);
        return 0;
    }
    int k = 0;
    while (k < kDBMMaxIds && isRecordIndex(table->idMap[k]))
        ++k;
    if (k == kDBMMaxIds) {
        DBMTrace("infor: DBMAllocRecord error addr full.");
        return 0;
    }
    int r = 0;
    while (table->records && r < kDBMMaxRecords && (table->records[r].id != kDBMIdFree || !usable(r)))
        ++r;
    if (!table->records || r == kDBMMaxRecords) {
        DBMTrace("infor: DBMAllocRecord error rec full.");
        return 0;
    }
    const auto newId = static_cast<std::uint16_t>(k + 1);
    table->records[r].id = newId;
    table->idMap[k] = static_cast<std::uint16_t>(r);
    if (id)
        *id = newId;
    if (record)
        *record = table->records[r];
    ++table->count;
    DBMTrace("debug: DBMAllocRecord id(%d) max(%d) index(%d).", r, kDBMMaxRecords, k + 1);
    return 1;
}

void DBMDeleteRecord(int position)
{
    if (!g.initialized)
        return;
    const long id = static_cast<long>(position) + 1;
    if (id <= 0 || id > kDBMMaxIds) {
        DBMTrace("infor: DBMDeleteRecord error index(%ld).", id);
        return;
    }
    AVMRecordTable& table = g.sides[g.activeSide].table;
    const std::uint16_t index = table.idMap[position];
    if (!isRecordIndex(index)) {
        DBMTrace("infor: DBMDeleteRecord error id(%d).", index);
        return;
    }
    table.records[index].id = kDBMIdDeleted;
    for (int k = position; k + 1 < kDBMMaxIds; ++k)
        table.idMap[k] = table.idMap[k + 1];
    table.idMap[kDBMMaxIds - 1] = kDBMMapFree;
    if (table.count != 0)
        --table.count;
}

void DBMCheckRecord()
{
    if (!g.initialized)
        return;
    AVMRecordTable& table = g.sides[g.activeSide].table;
    int listed = 0;
    for (const std::uint16_t index : table.idMap) {
        if (isRecordIndex(index) && table.records[index].id <= kDBMMaxIds)
            ++listed;
    }
    if (listed != table.count)
        DBMTrace("infor: DBMCheckRecord type(%d) count(%d->%d).", kDBMTypeRecord, table.count, listed);
    table.count = static_cast<std::uint16_t>(listed);
}

vmx::StoreList vmx::SaveActiveList()
{
    StoreList saved;
    AVMRecordTable& table = g.sides[g.activeSide].table;
    saved.table = table;
    for (int i = 0; i < kDBMMaxRecords && table.records; ++i)
        saved.ids[i] = table.records[i].id;
    return saved;
}

void vmx::RestoreActiveList(const StoreList& saved)
{
    AVMRecordTable& table = g.sides[g.activeSide].table;
    AVMRec* const own = table.records;
    table = saved.table;
    table.records = own;
    for (int i = 0; i < kDBMMaxRecords && own; ++i)
        own[i].id = saved.ids[i];
}

unsigned vmx::ListedCount()
{
    return g.initialized ? g.sides[g.activeSide].table.count : 0;
}

int vmx::RoomLeft()
{
    if (!g.initialized)
        return 0;
    const AVMRecordTable& table = g.sides[g.activeSide].table;
    if (!table.records)
        return 0;
    int freeIds = 0;
    for (const std::uint16_t entry : table.idMap)
        freeIds += isRecordIndex(entry) ? 0 : 1;
    int freeRecords = 0;
    for (int i = 0; i < kDBMMaxRecords; ++i)
        freeRecords += table.records[i].id == kDBMIdFree ? 1 : 0;
    return std::min(freeIds, freeRecords);
}

void vmx::FreeAllocatedRecord(std::uint16_t id)
{
    if (!g.initialized || id == 0 || id > kDBMMaxIds)
        return;
    AVMRecordTable& table = g.sides[g.activeSide].table;
    const std::uint16_t index = table.idMap[id - 1];
    if (isRecordIndex(index) && table.records) {
        table.records[index].id = kDBMIdFree;
        table.records[index].partCount = 0;
    }
    table.idMap[id - 1] = kDBMMapFree;
    if (table.count != 0)
        --table.count;
}

vmx::SharedPart vmx::FindSharedPart(unsigned id)
{
    SharedPart shared;
    if (!g.initialized || id == 0 || id > kDBMMaxIds)
        return shared;
    const AVMRecordTable& table = g.sides[g.activeSide].table;
    const std::uint16_t own = table.idMap[id - 1];
    if (!isRecordIndex(own) || !table.records)
        return shared;
    const AVMRec& record = table.records[own];
    const auto nameOf = [](const AVMRec& rec, int j) { return std::string(rec.parts[j].name, kAVMPartNameLen); };
    std::set<std::string> names;
    for (int j = 0; j < std::min<int>(record.partCount, kDBMMaxParts); ++j) {
        if (!names.insert(AsciiUpper(nameOf(record, j))).second) {
            shared.kind = SharedPart::Kind::ListedTwice;
            shared.name = nameOf(record, j);
            return shared;
        }
    }
    for (int i = 0; i < kDBMMaxRecords; ++i) {
        const AVMRec& other = table.records[i];
        if (i == own || other.id == kDBMIdFree)
            continue;
        for (int j = 0; j < std::min<int>(other.partCount, kDBMMaxParts); ++j) {
            if (names.count(AsciiUpper(nameOf(other, j)))) {
                shared.kind = SharedPart::Kind::OtherRecording;
                shared.name = nameOf(other, j);
                shared.other = other;
                return shared;
            }
        }
    }
    return shared;
}
