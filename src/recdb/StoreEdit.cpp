#include "recdb/StoreEdit.h"

#include <algorithm>

namespace vmx {

StoreEdit::~StoreEdit()
{
    if (m_committed)
        return;
    m_store.setTable(m_table);
    for (const auto& [index, record] : m_kept)
        m_store.records()[index] = record;
}

void StoreEdit::keep(int index, const AVMRec& before)
{
    const auto kept = [index](const auto& entry) { return entry.first == index; };
    if (index >= 0 && std::none_of(m_kept.begin(), m_kept.end(), kept))
        m_kept.emplace_back(index, before);
}

void StoreEdit::set(unsigned id, const AVMRec& record)
{
    if (const int index = m_store.indexOf(id); index >= 0)
        keep(index, m_store.records()[index]);
    m_store.set(id, record);
}

bool StoreEdit::alloc(std::uint16_t& id, AVMRec& record, const std::function<bool(int index)>& usable)
{
    if (!m_store.alloc(id, record, usable))
        return false;
    // An allocation gives a free record its id and changes nothing else of it.
    AVMRec before = record;
    before.id = kDBMIdFree;
    keep(m_store.indexOf(id), before);
    return true;
}

void StoreEdit::remove(int position)
{
    const int index = m_store.indexOf(static_cast<unsigned>(position) + 1);
    if (index >= 0)
        keep(index, m_store.records()[index]);
    m_store.remove(position);
}

}  // namespace vmx
