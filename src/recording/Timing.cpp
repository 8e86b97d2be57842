#include "recording/Timing.h"

#include "recdb/DiskNaming.h"
#include "recdb/RecordStore.h"

#include <sys/stat.h>

namespace vmx {

TimingEntry ComputeTimingEntry(const std::string& folder, const AVMRec& record)
{
    TimingEntry entry;
    entry.duration = record.duration;
    const int n = record.partCount;
    struct stat st {};
    const bool usable = n >= 1 && n <= kDBMMaxParts && AVMIsSafePartName(record.parts[n - 1].name);
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

std::vector<TimingEntry> BuildTimingList(const std::string& folder)
{
    std::vector<TimingEntry> list;
    AVMRecordTable table{};
    if (!DBMGetSys(kDBMTypeRecord, &table))
        return list;
    const unsigned count = table.count < kDBMMaxIds ? table.count : kDBMMaxIds;
    for (unsigned id = 1; id <= count; ++id) {
        AVMRec record{};
        if (!DBMGetRecord(kDBMTypeRecord, id, &record)) {
            list.push_back(TimingEntry::Unmeasured());
            continue;
        }
        const TimingEntry entry = ComputeTimingEntry(folder, record);
        list.push_back(entry);
        if (entry.measured()) {
            record.extA = entry.totalSize;
            DBMSetRecord(kDBMTypeRecord, id, &record);
        }
    }
    return list;
}

}  // namespace vmx
