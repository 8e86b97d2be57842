#pragma once

#include "recdb/AVMRec.h"

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

    bool measured() const { return totalSize != UINT64_MAX; }
};

// Measures a recording from its last part file in `folder` (which ends in '/' or is empty).
TimingEntry ComputeTimingEntry(const std::string& folder, const AVMRec& record);

// Makes `side` active and measures every listed recording (ids 1..count) in `folder`, in list
// order. Each measured total size is stored into the record's extA; a recording that cannot be
// measured keeps the extA it had.
std::vector<TimingEntry> BuildTimingList(int side, const std::string& folder);

}  // namespace vmx
