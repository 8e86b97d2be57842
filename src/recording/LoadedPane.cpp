#include "recording/LoadedPane.h"

#include "recdb/RecordStore.h"

namespace vmx {

TimingEntry LoadedPane::timingAt(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= timing.size())
        return TimingEntry::Unmeasured();
    return timing[static_cast<std::size_t>(row)];
}

void RefreshTimingEntry(LoadedPane& pane, int row)
{
    const auto id = static_cast<unsigned>(row + 1);
    AVMRec record{};
    if (row < 0 || static_cast<std::size_t>(row) >= pane.timing.size() || !DBMGetRecord(kDBMTypeRecord, id, &record))
        return;
    const TimingEntry entry = ComputeTimingEntry(pane.folder, record);
    pane.timing[static_cast<std::size_t>(row)] = entry;
    if (entry.measured()) {
        record.extA = entry.totalSize;
        DBMSetRecord(kDBMTypeRecord, id, &record);
    }
}

}  // namespace vmx
