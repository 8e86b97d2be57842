#include "recdb/DbCheck.h"

#include "recdb/AVMRec.h"
#include "recdb/DbReader.h"
#include "recdb/DiskNaming.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>

namespace {

constexpr std::uint64_t kFullPart = 133795840;

std::string format(const char* fmt, auto... args)
{
    char text[1024];
    std::snprintf(text, sizeof text, fmt, args...);
    return text;
}

unsigned be16(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    const unsigned hi = at < bytes.size() ? bytes[at] : 0;
    const unsigned lo = at + 1 < bytes.size() ? bytes[at + 1] : 0;
    return hi << 8 | lo;
}

std::uint8_t byteAt(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return at < bytes.size() ? bytes[at] : 0;
}

bool looksLikePartFile(const std::string& name)
{
    if (name.size() != kAVMPartNameLen || name.compare(0, 2, "RF") != 0)
        return false;
    std::string ext = name.substr(8);
    for (auto& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext == ".TRP";
}

}  // namespace

std::vector<std::string> AVMCheckDbFile(const std::string& dbPath)
{
    std::vector<std::string> problems;
    // Opening a FIFO would wait for a writer; a device or folder is no database.
    struct stat kind {};
    if (::stat(dbPath.c_str(), &kind) == 0 && !S_ISREG(kind.st_mode)) {
        problems.push_back(format("%s: not a regular file, so it cannot be a database.", dbPath.c_str()));
        return problems;
    }
    std::ifstream in(dbPath, std::ios::binary);
    if (!in) {
        problems.push_back(format("%s: cannot open the database: %s.", dbPath.c_str(), std::strerror(errno)));
        return problems;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string folder = AVMFolderOf(dbPath);

    const unsigned version = be16(bytes, 0);
    const unsigned headerSize = be16(bytes, 2);
    const unsigned count = be16(bytes, 4);
    if (bytes.size() < 6)
        problems.push_back(format("%s: the file is %zu bytes long, shorter than the 6-byte header.", dbPath.c_str(), bytes.size()));
    if (version > 5)
        problems.push_back(format("%s: unknown version %u.", dbPath.c_str(), version));
    if (headerSize == 0 || headerSize > 512)
        problems.push_back(format("%s: header size %u is not between 1 and 512.", dbPath.c_str(), headerSize));
    if (count > kDBMMaxRecords)
        problems.push_back(format("%s: record count %u is above %d.", dbPath.c_str(), count, kDBMMaxRecords));
    if (!problems.empty())
        return problems;

    const std::size_t imageLen = version >= 5 ? kAVMImageSize : version == 4 ? kAVMImageSizeV4 : kAVMImageSizeV3;
    const std::size_t headLen = version >= 4 ? imageLen + 1 : imageLen;
    std::size_t position = kAVMHeaderArea;
    std::set<std::string> named;
    std::set<unsigned> ids;
    for (int i = 0; i < kDBMMaxRecords; ++i) {
        const std::size_t sectionAt = position;
        const unsigned id = be16(bytes, position);
        const unsigned partCount = be16(bytes, position + 18);
        if (version >= 4) {
            unsigned sum = 0;
            for (std::size_t k = 0; k < imageLen; ++k)
                sum += byteAt(bytes, position + k);
            if ((sum & 0xFF) != byteAt(bytes, position + imageLen))
                problems.push_back(format("record index %d (offset %zu): checksum 0x%02x does not match the stored 0x%02x.",
                                          i, sectionAt, sum & 0xFF, byteAt(bytes, position + imageLen)));
        }
        position += headLen;
        if (partCount > kDBMMaxParts) {
            problems.push_back(format("record index %d (offset %zu): part count %u is above %d; the rest of the file cannot be read.",
                                      i, sectionAt, partCount, kDBMMaxParts));
            return problems;
        }
        const bool listed = id >= 1 && id <= count;
        if (listed && !ids.insert(id).second)
            problems.push_back(format("record index %d: list id %u is used by another record too.", i, id));
        for (unsigned j = 0; j < partCount; ++j, position += kAVMPartNameLen) {
            char name[kAVMPartNameLen + 1] = {};
            for (std::size_t k = 0; k < kAVMPartNameLen; ++k)
                name[k] = static_cast<char>(byteAt(bytes, position + k));
            if (!listed)
                continue;
            if (!vmx::IsSafePartNameOf(name, dbPath)) {
                problems.push_back(format("record %u: part %u has the unusable name \"%s\".", id, j + 1,
                                          AVMPrintablePartName(name).c_str()));
                continue;
            }
            const std::string file(name, kAVMPartNameLen);
            named.insert(file);
            struct stat st {};
            if (::stat((folder + file).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
                problems.push_back(format("record %u: part file %s is missing.", id, (folder + file).c_str()));
            } else if (j + 1 < partCount && static_cast<std::uint64_t>(st.st_size) != kFullPart) {
                problems.push_back(format("record %u: part file %s holds %lld bytes, not %llu.", id,
                                          (folder + file).c_str(), static_cast<long long>(st.st_size),
                                          static_cast<unsigned long long>(kFullPart)));
            }
        }
    }
    for (unsigned id = 1; id <= count; ++id) {
        if (!ids.count(id))
            problems.push_back(format("%s: list id %u is counted in the header but no record carries it.", dbPath.c_str(), id));
    }

    if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
        std::set<std::string> orphans;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (looksLikePartFile(name) && !named.count(name))
                orphans.insert(name);
        }
        ::closedir(dir);
        for (const auto& name : orphans)
            problems.push_back(format("part file %s is not named by any recording.", (folder + name).c_str()));
    }
    return problems;
}
