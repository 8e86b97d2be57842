#include "recdb/RecordStore.h"

#include "recdb/Trace.h"

#include "common/AsciiCase.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

namespace {

bool isRecordIndex(std::uint16_t mapEntry)
{
    return mapEntry < kDBMMaxRecords;
}

void clearTable(AVMRecordTable& table)
{
    table.count = 0;
    for (auto& entry : table.idMap)
        entry = kDBMMapFree;
    table.extra = 0;
    table.records = nullptr;
}

// The pseudo-record slot of an id, or -1.
int pseudoSlot(unsigned id)
{
    switch (id) {
    case kDBMPseudoId1: return 0;
    case kDBMPseudoId2: return 1;
    case kDBMPseudoId3: return 2;
    default: return -1;
    }
}

}  // namespace

namespace vmx {

RecordStore::RecordStore() : m_records(new AVMRec[kDBMMaxRecords])
{
    clearTable(m_table);
    std::memset(m_records.get(), 0, sizeof(AVMRec) * kDBMMaxRecords);
    std::memset(m_pseudo, 0, sizeof m_pseudo);
    m_pseudo[0].id = kDBMPseudoId1;
    m_pseudo[0].extA = 0xF0000000u;
    m_pseudo[1].id = kDBMPseudoId2;
    m_pseudo[1].extA = 0xF0000000u;
    m_pseudo[2].id = kDBMPseudoId3;
    m_pseudo[2].extA = 0x10000000u;
    m_pseudo[2].vid = 3;
    m_pseudo[2].aid = 2;
    m_pseudo[2].pid = 4;
}

RecordStore::RecordStore(const RecordStore& other) : RecordStore()
{
    *this = other;
}

RecordStore& RecordStore::operator=(const RecordStore& other)
{
    m_table = other.m_table;
    std::copy(other.m_records.get(), other.m_records.get() + kDBMMaxRecords, m_records.get());
    std::copy(std::begin(other.m_pseudo), std::end(other.m_pseudo), std::begin(m_pseudo));
    return *this;
}

RecordStore::~RecordStore() = default;

AVMRecordTable RecordStore::table() const
{
    AVMRecordTable table = m_table;
    table.records = m_records.get();
    return table;
}

void RecordStore::setTable(const AVMRecordTable& table)
{
    m_table = table;
    m_table.records = nullptr;
}

int RecordStore::indexOf(unsigned id) const
{
    if (id == 0 || id > kDBMMaxIds || !isRecordIndex(m_table.idMap[id - 1]))
        return -1;
    return m_table.idMap[id - 1];
}

bool RecordStore::get(unsigned id, AVMRec& record) const
{
    if (const int pseudo = pseudoSlot(id); pseudo >= 0) {
        record = m_pseudo[pseudo];
        return true;
    }
    if (id == 0 || id > kDBMMaxIds) {
        DBMTrace("infor: DBMGetRecord error index(%d).", static_cast<int>(id));
        return false;
    }
    const int index = indexOf(id);
    if (index < 0)
        return false;
    record = records()[index];
    return true;
}

void RecordStore::set(unsigned id, const AVMRec& record)
{
    if (const int pseudo = pseudoSlot(id); pseudo >= 0) {
        m_pseudo[pseudo] = record;
        return;
    }
    if (id == 0 || id > kDBMMaxIds) {
        DBMTrace("infor: DBMGetRecord error index(%d).", static_cast<int>(id));
        return;
    }
    if (const int index = indexOf(id); index >= 0)
        records()[index] = record;
}

bool RecordStore::alloc(std::uint16_t& id, AVMRec& record, const std::function<bool(int index)>& usable)
{
    int k = 0;
    while (k < kDBMMaxIds && isRecordIndex(m_table.idMap[k]))
        ++k;
    if (k == kDBMMaxIds) {
        DBMTrace("infor: DBMAllocRecord error addr full.");
        return false;
    }
    int r = 0;
    while (r < kDBMMaxRecords && (records()[r].id != kDBMIdFree || (usable && !usable(r))))
        ++r;
    if (r == kDBMMaxRecords) {
        DBMTrace("infor: DBMAllocRecord error rec full.");
        return false;
    }
    id = static_cast<std::uint16_t>(k + 1);
    records()[r].id = id;
    m_table.idMap[k] = static_cast<std::uint16_t>(r);
    record = records()[r];
    ++m_table.count;
    DBMTrace("debug: DBMAllocRecord id(%d) max(%d) index(%d).", r, kDBMMaxRecords, k + 1);
    return true;
}

bool RecordStore::insert(int position, const AVMRec& record, int preferredIndex)
{
    if (position < 0 || position > m_table.count || m_table.count >= kDBMMaxIds ||
        isRecordIndex(m_table.idMap[kDBMMaxIds - 1]))
        return false;
    int index = preferredIndex;
    if (index < 0 || index >= kDBMMaxRecords || records()[index].id != kDBMIdFree) {
        index = 0;
        while (index < kDBMMaxRecords && records()[index].id != kDBMIdFree)
            ++index;
        if (index == kDBMMaxRecords)
            return false;
    }
    for (int k = kDBMMaxIds - 1; k > position; --k)
        m_table.idMap[k] = m_table.idMap[k - 1];
    m_table.idMap[position] = static_cast<std::uint16_t>(index);
    records()[index] = record;
    records()[index].slot = static_cast<std::uint16_t>(index + 1);
    records()[index].id = static_cast<std::uint16_t>(position + 1);
    ++m_table.count;
    return true;
}

void RecordStore::remove(int position)
{
    const long id = static_cast<long>(position) + 1;
    if (id <= 0 || id > kDBMMaxIds) {
        DBMTrace("infor: DBMDeleteRecord error index(%ld).", id);
        return;
    }
    const std::uint16_t index = m_table.idMap[position];
    if (!isRecordIndex(index)) {
        DBMTrace("infor: DBMDeleteRecord error id(%d).", index);
        return;
    }
    records()[index].id = kDBMIdDeleted;
    for (int k = position; k + 1 < kDBMMaxIds; ++k)
        m_table.idMap[k] = m_table.idMap[k + 1];
    m_table.idMap[kDBMMaxIds - 1] = kDBMMapFree;
    if (m_table.count != 0)
        --m_table.count;
}

void RecordStore::recount()
{
    int listed = 0;
    for (const std::uint16_t index : m_table.idMap) {
        if (isRecordIndex(index) && records()[index].id <= kDBMMaxIds)
            ++listed;
    }
    if (listed != m_table.count)
        DBMTrace("infor: DBMCheckRecord type(%d) count(%d->%d).", kDBMTypeRecord, m_table.count, listed);
    m_table.count = static_cast<std::uint16_t>(listed);
}

int RecordStore::roomLeft() const
{
    int freeIds = 0;
    for (const std::uint16_t entry : m_table.idMap)
        freeIds += isRecordIndex(entry) ? 0 : 1;
    int freeRecords = 0;
    for (int i = 0; i < kDBMMaxRecords; ++i)
        freeRecords += records()[i].id == kDBMIdFree ? 1 : 0;
    return std::min(freeIds, freeRecords);
}

SharedPart RecordStore::findSharedPart(unsigned id) const
{
    SharedPart shared;
    const int own = indexOf(id);
    if (own < 0)
        return shared;
    const AVMRec& record = records()[own];
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
        const AVMRec& other = records()[i];
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

}  // namespace vmx

// The description's functions over the one current store.
namespace {

struct Module {
    std::unique_ptr<vmx::RecordStore> store;  // set while initialized
    AVMRecordTable type3;  // same layout as recordings, never given records
    AVMRecordTable type4;  // 820-byte records, never given records
    AVMRecordTable type5;  // 816-byte records, never given records
};

Module g;

// The table of a type without records (3, 4, 5), or null.
AVMRecordTable* recordlessTable(int type)
{
    switch (type & 0xFF) {
    case 3: return &g.type3;
    case 4: return &g.type4;
    case 5: return &g.type5;
    default: return nullptr;
    }
}

bool isRecordType(int type)
{
    return (type & 0xFF) == kDBMTypeRecord;
}

bool notInitialized()
{
    if (g.store)
        return false;
    DBMTrace("infor: DBM Record not yet initialized.");
    return true;
}

}  // namespace

vmx::RecordStore& vmx::CurrentStore()
{
    return *g.store;
}

unsigned char DBMInitRecord()
{
    DBMTrace("debug: DBMInitRecord <.");
    g.store = std::make_unique<vmx::RecordStore>();
    DBMTrace("debug: records(0x%lx) size(0x%zx).",
             static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(g.store->records())),
             sizeof(AVMRec) * kDBMMaxRecords);
    for (AVMRecordTable* table : {&g.type3, &g.type4, &g.type5})
        clearTable(*table);
    DBMTrace("debug: DBMInitRecord ok.");
    return 1;
}

void DBMFreeAll()
{
    g.store.reset();
}

bool vmx::HasCurrentStore()
{
    return g.store != nullptr;
}

unsigned char DBMGetSys(int type, AVMRecordTable* table)
{
    if (notInitialized())
        return 0;
    if (table && isRecordType(type))
        *table = g.store->table();
    else if (const AVMRecordTable* source = recordlessTable(type); source && table)
        *table = *source;
    return 1;
}

unsigned char DBMSetSys(int type, const AVMRecordTable* table)
{
    if (notInitialized())
        return 0;
    if (table && isRecordType(type)) {
        g.store->setTable(*table);
    } else if (AVMRecordTable* target = recordlessTable(type); target && table) {
        *target = *table;
        target->records = nullptr;
    }
    return 1;
}

unsigned char DBMGetRecord(int type, unsigned id, AVMRec* record)
{
    if (!g.store)
        return 0;
    AVMRec found{};
    if (isRecordType(type)) {
        if (!g.store->get(id, found))
            return 0;
        if (record)
            *record = found;
        return 1;
    }
    if (!recordlessTable(type)) {
        DBMTrace("infor: DBMGetRecord error type(%d).", type & 0xFF);
        return 0;
    }
    if (id == 0 || id > kDBMMaxIds)
        DBMTrace("infor: DBMGetRecord error index(%d).", static_cast<int>(id));
    return 0;
}

void DBMSetRecord(int type, unsigned id, const AVMRec* record)
{
    if (g.store && record && isRecordType(type))
        g.store->set(id, *record);
}

unsigned char DBMAllocRecord(int type, std::uint16_t* id, AVMRec* record)
{
    if (!g.store)
        return 0;
    if (isRecordType(type)) {
        std::uint16_t newId = 0;
        AVMRec allocated{};
        if (!g.store->alloc(newId, allocated))
            return 0;
        if (id)
            *id = newId;
        if (record)
            *record = allocated;
        return 1;
    }
    const AVMRecordTable* table = recordlessTable(type);
    if (!table)
        DBMTrace("infor: DBMAllocRecord error type(%d).", type & 0xFF);
    else if (std::all_of(std::begin(table->idMap), std::end(table->idMap), isRecordIndex))
        DBMTrace("infor: DBMAllocRecord error addr full.");
    else
        DBMTrace("infor: DBMAllocRecord error rec full.");
    return 0;
}

void DBMDeleteRecord(int position)
{
    if (g.store)
        g.store->remove(position);
}

void DBMCheckRecord()
{
    if (g.store)
        g.store->recount();
}
