#include "recording/PlaybackParts.h"

#include "recdb/DiskNaming.h"

#include <algorithm>

namespace vmx {

std::optional<PartPosition> PartAtPosition(const TimingEntry& timing, int partCount, std::uint32_t position)
{
    const std::uint32_t seconds = timing.secondsPerPart;
    if (partCount < 1 || !timing.measured() || seconds == 0 || seconds == UINT32_MAX)
        return std::nullopt;
    const std::uint32_t part = std::min(position / seconds, static_cast<std::uint32_t>(partCount - 1));
    return PartPosition{static_cast<int>(part), position - part * seconds};
}

std::string PartPathOf(const RecordDetails& details, int part)
{
    if (part < 0 || static_cast<std::size_t>(part) >= details.partNames.size())
        return {};
    const std::string& name = details.partNames[static_cast<std::size_t>(part)];
    if (name.size() != kAVMPartNameLen || !IsSafePartName(name.c_str()))
        return {};
    return details.folder + name;
}

std::vector<std::string> PartPathsOf(const RecordDetails& details)
{
    std::vector<std::string> paths;
    for (int part = 0; part < int(details.partNames.size()); ++part) {
        std::string path = PartPathOf(details, part);
        if (path.empty())
            return {};
        paths.push_back(std::move(path));
    }
    return paths;
}

bool CanPlay(const RecordDetails& details)
{
    return details.timing.secondsInLastPart != UINT32_MAX;
}

}  // namespace vmx
