#include "recording/RecordDetails.h"

#include "recdb/DiskNaming.h"
#include "recording/RecordingFiles.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace vmx {

RecordRow RowOf(int row, const AVMRec& record, const TimingEntry& timing)
{
    RecordRow out;
    out.row = row;
    out.id = static_cast<unsigned>(row + 1);
    out.readable = true;
    out.name = RecordDisplayName(record);
    out.startTime = record.startTime;
    out.duration = record.duration;
    out.partCount = record.partCount;
    out.timing = timing;
    return out;
}

RecordDetails DetailsOf(int row, const AVMRec& record, const std::string& folder, const TimingEntry& timing)
{
    RecordDetails out;
    out.row = row;
    out.id = static_cast<unsigned>(row + 1);
    out.slot = record.slot;
    std::memcpy(out.nameField.data(), record.name, sizeof record.name);
    out.nameBytes = RecordNameBytes(record);
    out.displayName = RecordDisplayName(record);
    out.startTime = record.startTime;
    out.duration = record.duration;
    out.streams = {record.vid, record.aid, record.pid, record.streamWord4, record.ecmPid, record.streamWord6};
    out.attr1 = record.attr1;
    out.attr2 = record.attr2;
    out.attr3 = record.attr3;
    out.extA = record.extA;
    out.folder = folder;
    for (int j = 0; j < record.partCount && j < kDBMMaxParts; ++j) {
        out.partNames.push_back(PartName(record, j));
        out.printableParts.push_back(PrintablePartName(record.parts[j].name));
    }
    out.timing = timing;
    return out;
}

std::string DurationText(std::uint32_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

std::string StartTimeText(std::uint32_t seconds)
{
    const std::time_t t = seconds;
    std::tm local{};
    if (!localtime_r(&t, &local))
        return "?";
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d:%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string StreamLine(const StreamIds& streams)
{
    char text[96];
    std::snprintf(text, sizeof text, "VID: %d | AID: %d | PID: %d | ecmPID: %d", streams.vid, streams.aid, streams.pid,
                  streams.ecmPid);
    return text;
}

}  // namespace vmx
