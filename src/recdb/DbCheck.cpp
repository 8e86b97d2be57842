#include "recdb/DbCheck.h"

#include "common/AsciiCase.h"
#include "common/BigEndian.h"
#include "common/ReadAll.h"
#include "common/FilePaths.h"
#include "common/PendingFile.h"
#include "recdb/DbCompanions.h"
#include "common/RegularFile.h"
#include "recdb/AVMRec.h"
#include "recdb/DbDecode.h"
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

// A name the receiver gives part files ("RF....xx.TRP"), in any letter case.
bool looksLikePartFile(const std::string& name)
{
    const std::string key = vmx::AsciiUpper(name);
    return key.size() == kAVMPartNameLen && key.starts_with("RF") && key.ends_with(".TRP");
}

std::string partKey(const char* name)
{
    return vmx::AsciiUpper(std::string_view(name, kAVMPartNameLen));
}

// The problems CheckListing and CheckDbFile both report.
std::string countProblem(const std::string& dbPath, unsigned count)
{
    return format("%s: record count %u is above %d.", dbPath.c_str(), count, kDBMMaxRecords);
}

std::string sharedIdProblem(int index, unsigned id)
{
    return format("record index %d: list id %u is used by another record too.", index, id);
}

std::string checksumProblem(const vmx::DecodedSection& section)
{
    return format("record index %d (offset %zu): checksum 0x%02x does not match the stored 0x%02x.",
                  section.index, section.offset, section.computedSum, section.storedSum);
}

std::string uncarriedIdProblem(const std::string& dbPath, unsigned id)
{
    return format("%s: list id %u is counted in the header but no record carries it.", dbPath.c_str(), id);
}

// What interrupted operations left beside the database that the next operation on its folder
// settles, and journals that were set aside.
void reportLeftovers(const std::string& dbPath, std::vector<std::string>& problems)
{
    struct stat st {};
    const std::string plan = vmx::CutPlanPath(dbPath);
    if (::lstat(plan.c_str(), &st) == 0)
        problems.push_back(plan + " is the plan of an interrupted cut, still to be finished.");
    const std::string folder = vmx::FolderOfPath(dbPath);
    std::vector<std::string> setAside;
    if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name[0] == '.' && name.ends_with(".set-aside"))
                setAside.push_back(folder + name);
        }
        ::closedir(dir);
    }
    std::sort(setAside.begin(), setAside.end());
    for (const std::string& path : setAside)
        problems.push_back(path + " is a journal that its database did not confirm, so it was set aside and not "
                           "carried out; look at it, then remove it.");
    for (const std::string& path : vmx::PendingFile::FindAbandoned(folder))
        problems.push_back(path + " is a temporary file left by an interrupted write.");
}

}  // namespace

namespace vmx {

std::vector<std::string> DatabasesOfFolder(const std::string& folder)
{
    std::vector<std::string> databases;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return databases;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.' || !FatNameKey(entry->d_name).ends_with(".DB"))
            continue;
        const std::string path = folder + entry->d_name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            databases.push_back(path);
    }
    ::closedir(dir);
    std::sort(databases.begin(), databases.end());
    return databases;
}

bool FolderParts::named(const std::string& partName) const
{
    return owners.count(AsciiUpper(partName)) != 0;
}

const PartOwner* FolderParts::anotherOwner(const std::string& partName, const std::string& dbPath,
                                           int recordIndex) const
{
    const auto found = owners.find(AsciiUpper(partName));
    if (found == owners.end())
        return nullptr;
    for (const PartOwner& owner : found->second) {
        if (owner.recordIndex != recordIndex || !IsSameFile(owner.dbPath, dbPath))
            return &owner;
    }
    return nullptr;
}

bool FolderParts::namedByAnotherDatabase(const std::string& partName, const std::string& dbPath) const
{
    const auto found = owners.find(AsciiUpper(partName));
    if (found == owners.end())
        return false;
    for (const PartOwner& owner : found->second) {
        if (!IsSameFile(owner.dbPath, dbPath))
            return true;
    }
    return false;
}

const PartOwner* FolderParts::ownerOf(const std::string& partName) const
{
    const auto found = owners.find(AsciiUpper(partName));
    return found == owners.end() || found->second.empty() ? nullptr : &found->second.front();
}

std::string ReadFolderParts(const std::string& folder, FolderParts& parts, std::vector<DbFileRead>* reads)
{
    parts.owners.clear();
    if (reads)
        reads->clear();
    if (::access(folder.empty() ? "." : folder.c_str(), R_OK | X_OK) != 0)
        return "cannot read the folder " + folder + ": " + std::strerror(errno) + ".";
    for (const std::string& path : DatabasesOfFolder(folder)) {
        DbFileRead read{std::make_shared<UniqueFd>(), {}, {}};
        std::uint64_t size = 0;
        if (std::string error = OpenRegularFile(path, O_RDONLY | O_NOFOLLOW, *read.fd, size); !error.empty())
            return error;
        if (std::string error = TakeFingerprint(read.fd->get(), path, kMaxDbContentSize, read.fingerprint, &read.content);
            !error.empty())
            return error;
        std::vector<std::uint8_t> bytes = reads ? read.content : std::move(read.content);
        if (reads)
            reads->push_back(std::move(read));
        DecodedDb db = DecodeDb(bytes.data(), bytes.size());
        if (!db.readable()) {
            // Looked at as the newest version: whatever it may name stays.
            bytes.resize(std::max<std::size_t>(bytes.size(), kAVMHeaderArea));
            WriteBe16(bytes.data(), 5);
            db = DecodeDb(bytes.data(), bytes.size());
        }
        for (const DecodedSection& section : db.sections) {
            const AVMRec& rec = section.record();
            if (rec.id == kDBMIdFree)
                continue;
            for (int j = 0; j < rec.partCount; ++j) {
                PartOwner owner;
                owner.dbPath = path;
                owner.recordIndex = section.index;
                std::copy(std::begin(rec.name), std::end(rec.name), owner.name.begin());
                parts.owners[partKey(rec.parts[j].name)].push_back(owner);
            }
        }
    }
    return {};
}

std::string PartNamesListedInFolder(const std::string& folder, std::set<std::string>& names)
{
    FolderParts parts;
    if (std::string error = ReadFolderParts(folder, parts); !error.empty())
        return error;
    for (const auto& [key, owners] : parts.owners)
        names.insert(key);
    return {};
}

ListingCheck CheckListing(const std::string& dbPath, const std::vector<std::uint8_t>& bytes)
{
    ListingCheck check;
    std::vector<std::string>& problems = check.problems;
    const DecodedDb db = DecodeDb(bytes.data(), bytes.size());
    const DbHeader& header = db.header;
    if (header.version <= 5 && header.headerSize >= 1 && header.headerSize <= 512 && header.count > kDBMMaxRecords) {
        problems.push_back(countProblem(dbPath, header.count));
        return check;
    }
    if (!db.readable())
        return check;
    std::set<unsigned> ids;
    for (const DecodedSection& section : db.sections) {
        if (header.version >= 4 && section.computedSum != section.storedSum) {
            problems.push_back(checksumProblem(section));
            check.damagedSlots.insert(section.index + 1);
        }
        if (db.listed(section) && !ids.insert(section.id).second)
            problems.push_back(sharedIdProblem(section.index, section.id));
    }
    for (unsigned id = 1; id <= header.count; ++id) {
        if (!ids.count(id))
            problems.push_back(uncarriedIdProblem(dbPath, id));
    }
    return check;
}

}  // namespace vmx

std::vector<std::string> vmx::CheckDbFile(const std::string& dbPath)
{
    std::vector<std::string> problems;
    std::vector<std::uint8_t> bytes;
    std::uint64_t fileSize = 0;
    if (std::string error = vmx::ReadDbContent(dbPath, bytes, &fileSize); !error.empty()) {
        problems.push_back(error);
        return problems;
    }
    const std::string folder = vmx::FolderOfPath(dbPath);
    const vmx::DecodedDb db = vmx::DecodeDb(bytes.data(), bytes.size());
    const vmx::DbHeader& header = db.header;
    if (fileSize < 6)
        problems.push_back(format("%s: the file is %llu bytes long, shorter than the 6-byte header.", dbPath.c_str(),
                                  static_cast<unsigned long long>(fileSize)));
    if (header.version > 5)
        problems.push_back(format("%s: unknown version %u.", dbPath.c_str(), header.version));
    if (header.headerSize == 0 || header.headerSize > 512)
        problems.push_back(format("%s: header size %u is not between 1 and 512.", dbPath.c_str(), header.headerSize));
    if (header.count > kDBMMaxRecords)
        problems.push_back(countProblem(dbPath, header.count));
    if (!problems.empty())
        return problems;

    // Part files that a recording of any database of the folder names are nobody's strays.
    vmx::FolderParts folderParts;
    (void)vmx::ReadFolderParts(folder, folderParts);
    std::set<unsigned> ids;
    for (const vmx::DecodedSection& section : db.sections) {
        const AVMRec& rec = section.record();
        const int i = section.index;
        if (header.version >= 4 && section.computedSum != section.storedSum)
            problems.push_back(checksumProblem(section));
        if (!db.listed(section))
            continue;
        const unsigned id = rec.id;
        if (!ids.insert(id).second)
            problems.push_back(sharedIdProblem(i, id));
        for (int j = 0; j < rec.partCount; ++j) {
            const std::string file(rec.parts[j].name, kAVMPartNameLen);
            if (!vmx::IsSafePartNameOf(file.c_str(), dbPath)) {
                problems.push_back(format("record %u: part %d has the unusable name \"%s\".", id, j + 1,
                                          vmx::PrintablePartName(file.c_str()).c_str()));
                continue;
            }
            struct stat st {};
            if (::lstat((folder + file).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
                problems.push_back(format("record %u: part file %s is missing.", id, (folder + file).c_str()));
            } else if (j + 1 < rec.partCount && static_cast<std::uint64_t>(st.st_size) != kFullPart) {
                problems.push_back(format("record %u: part file %s holds %lld bytes, not %llu.", id,
                                          (folder + file).c_str(), static_cast<long long>(st.st_size),
                                          static_cast<unsigned long long>(kFullPart)));
            }
        }
    }
    if (const auto& broken = db.broken) {
        if (header.version >= 4 && broken->computedSum != broken->storedSum)
            problems.push_back(checksumProblem(*broken));
        problems.push_back(format("record index %d (offset %zu): part count %u is above %d; the rest of the file cannot be read.",
                                  broken->index, broken->offset, broken->partCount, kDBMMaxParts));
        return problems;
    }
    for (unsigned id = 1; id <= header.count; ++id) {
        if (!ids.count(id))
            problems.push_back(uncarriedIdProblem(dbPath, id));
    }

    if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
        std::set<std::string> orphans;
        std::set<std::string> transit;
        std::set<std::string> staged;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (looksLikePartFile(name) && !folderParts.named(name))
                orphans.insert(name);
            if (vmx::IsCutTransitNameOf(name, dbPath))
                transit.insert(name);
            if (vmx::IsStagedPartName(name))
                staged.insert(name);
        }
        ::closedir(dir);
        for (const auto& name : orphans)
            problems.push_back(format("part file %s is not named by any recording.", (folder + name).c_str()));
        for (const auto& name : transit)
            problems.push_back(format("%s is a part of an interrupted cut on its way to its new name.",
                                      (folder + name).c_str()));
        for (const auto& name : staged)
            problems.push_back(format("%s is a part file of an interrupted copy or deletion, still to be settled.",
                                      (folder + name).c_str()));
    }
    reportLeftovers(dbPath, problems);
    return problems;
}
