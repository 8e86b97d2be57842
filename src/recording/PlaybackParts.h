#pragma once

#include "recording/RecordDetails.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vmx {

// Shown instead of playing a recording whose last part file could not be measured.
inline constexpr const char* kPartFileMissingMessage = "file don,t exist!!";

// A place in a recording: the part file and the seconds into it.
struct PartPosition {
    int part = 0;
    std::uint32_t offset = 0;
};

// Where `position` seconds into a recording of `partCount` parts lie: part = position / seconds
// per full part (the last part for a position at or past its start), offset = position - part x
// seconds per full part. Nothing when the recording cannot be placed: it has no parts, or its
// seconds per full part are 0 or unmeasured.
std::optional<PartPosition> PartAtPosition(const TimingEntry& timing, int partCount, std::uint32_t position);

// The file the player opens for part `part` of the recording (its folder followed by the part's
// name); empty when the recording has no such part or the name is not a plain part name. The
// next part after part k is PartPathOf(details, k + 1): empty at the end of the recording.
std::string PartPathOf(const RecordDetails& details, int part);

// The files of all the recording's parts, in order; empty when one of them has no plain part name.
std::vector<std::string> PartPathsOf(const RecordDetails& details);

// True when the recording can be played: its last part file was measured when the pane's timing
// list was built (otherwise the player shows kPartFileMissingMessage).
bool CanPlay(const RecordDetails& details);

}  // namespace vmx
