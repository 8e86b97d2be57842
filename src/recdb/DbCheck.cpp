#include "recdb/DbCheck.h"

#include "common/AsciiCase.h"
#include "common/BigEndian.h"
#include "common/ReadAll.h"
#include "common/FilePaths.h"
#include "common/PendingFile.h"
#include "recdb/DbCompanions.h"
#include "common/RegularFile.h"
#include "recdb/AVMRec.h"
#include "recdb/DbReader.h"
#include "recdb/DiskNaming.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t kFullPart = 133795840;

std::string format(const char* fmt, auto... args)
{
    char text[1024];
    std::snprintf(text, sizeof text, fmt, args...);
    return text;
}

// The first bytes of a database file, as many as its content can span: whatever follows is never
// looked at, so a huge damaged file costs no more memory than a full database.
struct DbContent {
    std::vector<std::uint8_t> bytes;
    std::uint64_t fileSize = 0;

    std::uint8_t byteAt(std::size_t at) const { return at < bytes.size() ? bytes[at] : 0; }
    // The 6 bytes at `at`; bytes beyond the content read as zeros, as the reader reads them.
    std::array<std::uint8_t, 6> bytesAt(std::size_t at) const
    {
        std::array<std::uint8_t, 6> out{};
        for (std::size_t k = 0; k < out.size(); ++k)
            out[k] = byteAt(at + k);
        return out;
    }
    unsigned be16(std::size_t at) const { return vmx::ReadBe16(bytesAt(at).data()); }
};

// Reads a database's content; empty string, or why it cannot be read.
std::string readContent(const std::string& path, DbContent& content)
{
    vmx::UniqueFd fd;
    if (std::string error = vmx::OpenRegularFile(path, O_RDONLY, fd, content.fileSize); !error.empty())
        return error;
    content.bytes.resize(static_cast<std::size_t>(std::min(content.fileSize, vmx::kMaxDbContentSize)));
    std::size_t got = 0;
    if (const int error = vmx::ReadAllAt(fd.get(), content.bytes.data(), content.bytes.size(), 0, got); error != 0)
        return "cannot read " + path + ": " + std::strerror(error) + ".";
    content.bytes.resize(got);
    return {};
}

struct Header {
    unsigned version = 0;
    unsigned size = 0;
    unsigned count = 0;

    bool readable() const { return version <= 5 && size >= 1 && size <= 512 && count <= kDBMMaxRecords; }
};

Header headerOf(const DbContent& content)
{
    const vmx::DbHeader header = vmx::DecodeDbHeader(content.bytesAt(0).data());
    return {header.version, header.headerSize, header.count};
}

// One record section as the walk finds it.
struct Section {
    int index = 0;
    std::size_t offset = 0;
    unsigned id = 0;
    unsigned partCount = 0;
    std::vector<std::string> names;  // 12 bytes each
};

// Walks the 200 record sections of a database's content in file order, handing each to `visit`.
// A part count above 280 is handed over without names and ends the walk: nothing after it can be
// placed.
template <typename Visit>
void walkSections(const DbContent& content, unsigned version, Visit&& visit)
{
    const std::size_t imageLen = version >= 5 ? kAVMImageSize : version == 4 ? kAVMImageSizeV4 : kAVMImageSizeV3;
    const std::size_t headLen = version >= 4 ? imageLen + 1 : imageLen;
    std::size_t position = kAVMHeaderArea;
    for (int i = 0; i < kDBMMaxRecords; ++i) {
        Section section;
        section.index = i;
        section.offset = position;
        section.id = content.be16(position);
        section.partCount = content.be16(position + 18);
        position += headLen;
        if (section.partCount <= kDBMMaxParts) {
            for (unsigned j = 0; j < section.partCount; ++j, position += kAVMPartNameLen) {
                std::string name(kAVMPartNameLen, '\0');
                for (std::size_t k = 0; k < kAVMPartNameLen; ++k)
                    name[k] = static_cast<char>(content.byteAt(position + k));
                section.names.push_back(name);
            }
        }
        visit(section);
        if (section.partCount > kDBMMaxParts)
            return;
    }
}

// A name the receiver gives part files ("RF....xx.TRP"), in any letter case.
bool looksLikePartFile(const std::string& name)
{
    const std::string key = vmx::AsciiUpper(name);
    return key.size() == kAVMPartNameLen && key.starts_with("RF") && key.ends_with(".TRP");
}

// The part names (upper-cased) that the listed recordings of the other databases in `folder`
// name: DZT000.DB and DZR000.DB share the receiver's RECORD folder.
std::set<std::string> otherDatabasesParts(const std::string& folder, const std::string& dbPath)
{
    std::set<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return names;
    std::vector<std::string> databases;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string path = folder + entry->d_name;
        if (vmx::FatNameKey(entry->d_name).ends_with(".DB") && !vmx::IsSameFile(path, dbPath))
            databases.push_back(path);
    }
    ::closedir(dir);
    for (const std::string& path : databases) {
        DbContent content;
        if (!readContent(path, content).empty() || !headerOf(content).readable())
            continue;
        const Header header = headerOf(content);
        walkSections(content, header.version, [&](const Section& section) {
            if (section.id >= 1 && section.id <= header.count) {
                for (const std::string& name : section.names)
                    names.insert(vmx::AsciiUpper(name));
            }
        });
    }
    return names;
}

// The problems ListingProblems and AVMCheckDbFile both report.
std::string countProblem(const std::string& dbPath, unsigned count)
{
    return format("%s: record count %u is above %d.", dbPath.c_str(), count, kDBMMaxRecords);
}

std::string sharedIdProblem(int index, unsigned id)
{
    return format("record index %d: list id %u is used by another record too.", index, id);
}

std::string uncarriedIdProblem(const std::string& dbPath, unsigned id)
{
    return format("%s: list id %u is counted in the header but no record carries it.", dbPath.c_str(), id);
}

// What interrupted operations left beside the database and the next operation on it would settle.
void reportLeftovers(const std::string& dbPath, std::vector<std::string>& problems)
{
    struct stat st {};
    if (::lstat(vmx::CutPlanPath(dbPath).c_str(), &st) == 0)
        problems.push_back(vmx::CutPlanPath(dbPath) + " is the plan of an interrupted cut, still to be finished.");
    if (::lstat(vmx::PartsJournalPath(dbPath).c_str(), &st) == 0)
        problems.push_back(vmx::PartsJournalPath(dbPath) +
                           " lists part files of an interrupted copy or deletion, still to be removed.");
    for (const std::string& path : vmx::PendingFile::FindAbandoned(vmx::FolderOfPath(vmx::DbFileBehind(dbPath))))
        problems.push_back(path + " is a temporary file left by an interrupted write.");
}

}  // namespace

namespace vmx {

std::string PartNamesListedInFolder(const std::string& folder, std::set<std::string>& names)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return "cannot read the folder " + folder + ": " + std::strerror(errno) + ".";
    std::vector<std::string> databases;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.' && FatNameKey(entry->d_name).ends_with(".DB"))
            databases.push_back(folder + entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& path : databases) {
        DbContent content;
        if (std::string error = readContent(path, content); !error.empty())
            return error;
        const Header header = headerOf(content);
        if (!header.readable())
            return "the database " + path + " cannot be read.";
        bool whole = true;
        walkSections(content, header.version, [&](const Section& section) {
            whole = whole && section.partCount <= kDBMMaxParts;
            if (section.id >= 1 && section.id <= header.count) {
                for (const std::string& name : section.names)
                    names.insert(AsciiUpper(name));
            }
        });
        if (!whole)
            return "the database " + path + " cannot be read.";
    }
    return {};
}

std::vector<std::string> ListingProblems(const std::string& dbPath)
{
    std::vector<std::string> problems;
    DbContent content;
    if (!readContent(dbPath, content).empty())
        return problems;
    const Header header = headerOf(content);
    if (header.version <= 5 && header.size >= 1 && header.size <= 512 && header.count > kDBMMaxRecords) {
        problems.push_back(countProblem(dbPath, header.count));
        return problems;
    }
    if (!header.readable())
        return problems;
    std::set<unsigned> ids;
    walkSections(content, header.version, [&](const Section& section) {
        if (section.partCount <= kDBMMaxParts && section.id >= 1 && section.id <= header.count &&
            !ids.insert(section.id).second)
            problems.push_back(sharedIdProblem(section.index, section.id));
    });
    for (unsigned id = 1; id <= header.count; ++id) {
        if (!ids.count(id))
            problems.push_back(uncarriedIdProblem(dbPath, id));
    }
    return problems;
}

}  // namespace vmx

std::vector<std::string> AVMCheckDbFile(const std::string& dbPath)
{
    std::vector<std::string> problems;
    DbContent content;
    if (std::string error = readContent(dbPath, content); !error.empty()) {
        problems.push_back(error);
        return problems;
    }
    const std::string folder = vmx::FolderOfPath(dbPath);

    const Header header = headerOf(content);
    if (content.fileSize < 6)
        problems.push_back(format("%s: the file is %llu bytes long, shorter than the 6-byte header.", dbPath.c_str(),
                                  static_cast<unsigned long long>(content.fileSize)));
    if (header.version > 5)
        problems.push_back(format("%s: unknown version %u.", dbPath.c_str(), header.version));
    if (header.size == 0 || header.size > 512)
        problems.push_back(format("%s: header size %u is not between 1 and 512.", dbPath.c_str(), header.size));
    if (header.count > kDBMMaxRecords)
        problems.push_back(countProblem(dbPath, header.count));
    if (!problems.empty())
        return problems;

    const std::size_t imageLen =
        header.version >= 5 ? kAVMImageSize : header.version == 4 ? kAVMImageSizeV4 : kAVMImageSizeV3;
    std::set<std::string> named = otherDatabasesParts(folder, dbPath);
    std::set<unsigned> ids;
    bool unreadable = false;
    walkSections(content, header.version, [&](const Section& section) {
        const int i = section.index;
        if (header.version >= 4) {
            unsigned sum = 0;
            for (std::size_t k = 0; k < imageLen; ++k)
                sum += content.byteAt(section.offset + k);
            if ((sum & 0xFF) != content.byteAt(section.offset + imageLen))
                problems.push_back(format("record index %d (offset %zu): checksum 0x%02x does not match the stored 0x%02x.",
                                          i, section.offset, sum & 0xFF, content.byteAt(section.offset + imageLen)));
        }
        if (section.partCount > kDBMMaxParts) {
            problems.push_back(format("record index %d (offset %zu): part count %u is above %d; the rest of the file cannot be read.",
                                      i, section.offset, section.partCount, kDBMMaxParts));
            unreadable = true;
            return;
        }
        const unsigned id = section.id;
        const bool listed = id >= 1 && id <= header.count;
        if (!listed)
            return;
        if (!ids.insert(id).second)
            problems.push_back(sharedIdProblem(i, id));
        for (unsigned j = 0; j < section.partCount; ++j) {
            const std::string& file = section.names[j];
            if (!vmx::IsSafePartNameOf(file.c_str(), dbPath)) {
                problems.push_back(format("record %u: part %u has the unusable name \"%s\".", id, j + 1,
                                          AVMPrintablePartName(file.c_str()).c_str()));
                continue;
            }
            named.insert(vmx::AsciiUpper(file));
            struct stat st {};
            if (::stat((folder + file).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
                problems.push_back(format("record %u: part file %s is missing.", id, (folder + file).c_str()));
            } else if (j + 1 < section.partCount && static_cast<std::uint64_t>(st.st_size) != kFullPart) {
                problems.push_back(format("record %u: part file %s holds %lld bytes, not %llu.", id,
                                          (folder + file).c_str(), static_cast<long long>(st.st_size),
                                          static_cast<unsigned long long>(kFullPart)));
            }
        }
    });
    if (unreadable)
        return problems;
    for (unsigned id = 1; id <= header.count; ++id) {
        if (!ids.count(id))
            problems.push_back(uncarriedIdProblem(dbPath, id));
    }

    if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
        std::set<std::string> orphans;
        std::set<std::string> transit;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (looksLikePartFile(name) && !named.count(vmx::AsciiUpper(name)))
                orphans.insert(name);
            if (vmx::IsCutTransitNameOf(name, dbPath))
                transit.insert(name);
        }
        ::closedir(dir);
        for (const auto& name : orphans)
            problems.push_back(format("part file %s is not named by any recording.", (folder + name).c_str()));
        for (const auto& name : transit)
            problems.push_back(format("%s is a part of an interrupted cut on its way to its new name.",
                                      (folder + name).c_str()));
    }
    reportLeftovers(dbPath, problems);
    return problems;
}
