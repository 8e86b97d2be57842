#pragma once

#include "recdb/RecordStore.h"

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace vmx {

// A change of a record store that an operation may still have to take back: unless commit() was
// called, the destructor puts the store's table (count, id map) and every record the edit touched
// back as they were when the edit began. An operation that cannot finish (a copy that fails, a
// database that cannot be written) thus leaves the store as the user last saw it, and no later
// write finishes the change. Records changed through the store itself after the edit touched them
// are put back too; records the edit never touched are left alone.
class StoreEdit {
public:
    explicit StoreEdit(RecordStore& store) : m_store(store), m_table(store.table()) {}
    ~StoreEdit();
    StoreEdit(const StoreEdit&) = delete;
    StoreEdit& operator=(const StoreEdit&) = delete;

    // RecordStore::set, alloc and remove, kept for the undo.
    void set(unsigned id, const AVMRec& record);
    bool alloc(std::uint16_t& id, AVMRec& record, const std::function<bool(int index)>& usable = {});
    void remove(int position);

    // The change stands: the destructor leaves the store as it is.
    void commit() { m_committed = true; }

private:
    // Keeps the record at `index` as `before`, unless an earlier change kept it already.
    void keep(int index, const AVMRec& before);

    RecordStore& m_store;
    AVMRecordTable m_table;
    std::vector<std::pair<int, AVMRec>> m_kept;
    bool m_committed = false;
};

}  // namespace vmx
