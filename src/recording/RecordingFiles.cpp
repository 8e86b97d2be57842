#include "recording/RecordingFiles.h"

#include "recdb/DiskNaming.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace vmx {

std::string RecordNameBytes(const AVMRec& record)
{
    std::string name;
    for (std::size_t i = 1; i < sizeof record.name && record.name[i] != 0; ++i)
        name += static_cast<char>(record.name[i]);
    return name;
}

std::string RecordDisplayName(const AVMRec& record)
{
    std::string name;
    for (const char byte : RecordNameBytes(record)) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x20 || c == 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            name += hex;
        } else {
            name += static_cast<char>(c);
        }
    }
    return name;
}

void SetRecordName(AVMRec& record, const std::string& text)
{
    for (std::size_t i = 1; i < sizeof record.name; ++i)
        record.name[i] = i - 1 < text.size() ? static_cast<std::uint8_t>(text[i - 1]) : 0;
}

std::string PartName(const AVMRec& record, int index)
{
    return std::string(record.parts[index].name, kAVMPartNameLen);
}

std::string PartPath(const std::string& folder, const AVMRec& record, int index)
{
    return folder + PartName(record, index);
}

std::string UnsafePartsMessage(const AVMRec& record, const std::string& dbPath)
{
    if (record.partCount > kDBMMaxParts)
        return "the recording \"" + RecordDisplayName(record) + "\" claims " + std::to_string(record.partCount) +
               " parts, more than a recording can have; its files are left alone.";
    for (int j = 0; j < record.partCount; ++j) {
        if (!IsSafePartNameOf(record.parts[j].name, dbPath))
            return "the recording \"" + RecordDisplayName(record) + "\" names a part file \"" +
                   AVMPrintablePartName(record.parts[j].name) +
                   "\" that is not a valid part name; its files are left alone.";
    }
    return {};
}

int CreateNewFile(const std::string& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0)
        return fd;
    if (errno == EEXIST)
        error = path + " already exists and belongs to no recording being written; it was left untouched.";
    else
        error = "cannot create " + path + ": " + std::strerror(errno) + ".";
    return -1;
}

}  // namespace vmx
