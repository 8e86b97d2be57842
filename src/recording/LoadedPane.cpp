#include "recording/LoadedPane.h"

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
    if (row >= 0 && static_cast<std::size_t>(row) < pane.timing.size() && pane.store.indexOf(id) >= 0)
        pane.timing[static_cast<std::size_t>(row)] = MeasureRecording(pane.store, pane.folder, id);
}

}  // namespace vmx
