#include "recording/Timing.h"

#include "recdb/DiskNaming.h"

#include <algorithm>
#include <sys/stat.h>

namespace vmx {

TimingEntry ComputeTimingEntry(const std::string& folder, const AVMRec& record)
{
    TimingEntry entry;
    entry.duration = record.duration;
    const int n = record.partCount;
    struct stat st {};
    const bool usable = n >= 1 && n <= kDBMMaxParts && IsSafePartName(record.parts[n - 1].name);
    if (!usable || ::stat((folder + std::string(record.parts[n - 1].name, kAVMPartNameLen)).c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return TimingEntry::Unmeasured(record.duration);
    entry.lastPartSize = static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.st_size) & 0xFFFFFFFFu);
    entry.totalSize = static_cast<std::uint64_t>(n - 1) * kFullPartSize + entry.lastPartSize;
    // An empty recording has no byte rate; its seconds per part stay 0.
    entry.secondsPerPart = entry.totalSize == 0
        ? 0
        : static_cast<std::uint32_t>(static_cast<std::uint64_t>(record.duration) * kFullPartSize / entry.totalSize);
    entry.secondsInLastPart = record.duration - entry.secondsPerPart * static_cast<std::uint32_t>(n - 1);
    return entry;
}

TimingEntry MeasureRecording(RecordStore& store, const std::string& folder, unsigned id)
{
    AVMRec record{};
    if (!store.get(id, record))
        return TimingEntry::Unmeasured();
    const TimingEntry entry = ComputeTimingEntry(folder, record);
    if (entry.measured()) {
        record.extA = entry.totalSize;
        store.set(id, record);
    }
    return entry;
}

std::vector<TimingEntry> BuildTimingList(RecordStore& store, const std::string& folder)
{
    std::vector<TimingEntry> list;
    const unsigned count = std::min<unsigned>(store.listedCount(), kDBMMaxIds);
    for (unsigned id = 1; id <= count; ++id)
        list.push_back(MeasureRecording(store, folder, id));
    return list;
}

}  // namespace vmx
