#pragma once

#include "recdb/AVMRec.h"
#include "recdb/RecordStore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vmx {

// Every part file of a recording but the last holds exactly this many bytes
// (711,680 transport-stream packets of 188 bytes).
inline constexpr std::uint64_t kFullPartSize = 133795840;

// How one recording lies on disk. When its last part file cannot be opened every field but the
// duration is all ones.
struct TimingEntry {
    std::uint32_t lastPartSize = 0;
    std::uint32_t duration = 0;
    std::uint64_t totalSize = 0;
    std::uint32_t secondsPerPart = 0;
    std::uint32_t secondsInLastPart = 0;

    // The entry of a recording whose last part file could not be measured.
    static TimingEntry Unmeasured(std::uint32_t duration = 0)
    {
        return TimingEntry{UINT32_MAX, duration, UINT64_MAX, UINT32_MAX, UINT32_MAX};
    }

    bool measured() const { return totalSize != UINT64_MAX; }
};

// Measures a recording from its last part file in `folder` (which ends in '/' or is empty).
TimingEntry ComputeTimingEntry(const std::string& folder, const AVMRec& record);

// Measures the recording with list id `id` of `store` in `folder` and, when measured, stores its
// total size into the record's extA (a recording that cannot be measured keeps the extA it had).
// Unmeasured when the store has no such recording.
TimingEntry MeasureRecording(RecordStore& store, const std::string& folder, unsigned id);

// MeasureRecording of every listed recording (ids 1..count) of `store`, in list order.
std::vector<TimingEntry> BuildTimingList(RecordStore& store, const std::string& folder);

}  // namespace vmx
