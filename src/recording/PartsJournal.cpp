#include "recording/PartsJournal.h"

#include "common/AsciiCase.h"
#include "common/BigEndian.h"
#include "common/FilePaths.h"
#include "common/Fnv1a.h"
#include "common/PendingFile.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"
#include "recdb/AVMRec.h"
#include "recdb/DbCheck.h"
#include "recdb/DbCompanions.h"
#include "recdb/DiskNaming.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace vmx {

namespace {

constexpr char kMagic[8] = {'V', 'M', 'X', 'P', 'R', 'T', '1', '\n'};
constexpr std::size_t kMaxNames = static_cast<std::size_t>(kDBMMaxParts) * kDBMMaxRecords;

}  // namespace

std::vector<std::uint8_t> EncodePartsJournal(const PartsJournal& journal)
{
    std::vector<std::uint8_t> out(kMagic, kMagic + sizeof kMagic);
    std::uint8_t count[2];
    WriteBe16(count, static_cast<std::uint16_t>(journal.names.size()));
    out.insert(out.end(), count, count + 2);
    for (const std::string& name : journal.names)
        out.insert(out.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(kAVMPartNameLen));
    std::uint8_t sum[8];
    WriteBe64(sum, Fnv1a64(out.data(), out.size()));
    out.insert(out.end(), sum, sum + 8);
    return out;
}

std::string DecodePartsJournal(const std::uint8_t* data, std::size_t size, PartsJournal& journal)
{
    journal = PartsJournal{};
    if (size < sizeof kMagic + 10 || std::memcmp(data, kMagic, sizeof kMagic) != 0)
        return "the file is not a journal of part files.";
    if (ReadBe64(data + size - 8) != Fnv1a64(data, size - 8))
        return "the journal of part files is damaged (its checksum does not match).";
    const std::size_t count = ReadBe16(data + sizeof kMagic);
    if (count > kMaxNames || size != sizeof kMagic + 2 + count * kAVMPartNameLen + 8)
        return "the journal of part files is damaged (its length).";
    for (std::size_t i = 0; i < count; ++i) {
        std::string name(reinterpret_cast<const char*>(data + sizeof kMagic + 2 + i * kAVMPartNameLen), kAVMPartNameLen);
        if (!AVMIsSafePartName(name.c_str()))
            return "the journal of part files is damaged (a name).";
        journal.names.push_back(name);
    }
    return {};
}

std::string WritePartsJournal(const std::string& dbPath, const PartsJournal& journal)
{
    const std::string path = PartsJournalPath(dbPath);
    const std::vector<std::uint8_t> bytes = EncodePartsJournal(journal);
    if (const int error = WriteFileDurably(path, bytes.data(), bytes.size()); error != 0)
        return "cannot write the journal " + path + ": " + std::strerror(error) + ".";
    return {};
}

void RemovePartsJournal(const std::string& dbPath)
{
    const std::string path = PartsJournalPath(dbPath);
    if (::unlink(path.c_str()) == 0)
        (void)SyncFolder(FolderOfPath(path));
}

SettledParts SettlePartsJournal(const std::string& dbPath)
{
    SettledParts result;
    const std::string path = PartsJournalPath(dbPath);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return result;
    UniqueFd fd;
    std::uint64_t size = 0;
    if (std::string error = OpenRegularFile(path, O_RDONLY | O_NOFOLLOW, fd, size); !error.empty()) {
        result.problem = error;
        return result;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(size, kMaxNames * kAVMPartNameLen + 64)));
    std::size_t got = 0;
    PartsJournal journal;
    if (const int error = ReadAllAt(fd.get(), bytes.data(), bytes.size(), 0, got); error != 0) {
        result.problem = "cannot read " + path + ": " + std::strerror(error) + ".";
        return result;
    }
    if (std::string error = DecodePartsJournal(bytes.data(), got, journal); !error.empty()) {
        result.problem = path + ": " + error;
        return result;
    }
    const std::string folder = FolderOfPath(dbPath);
    std::set<std::string> named;
    if (std::string error = PartNamesListedInFolder(folder, named); !error.empty()) {
        result.problem = error + " The part files listed in " + path + " were left as they are.";
        return result;
    }
    for (const std::string& name : journal.names) {
        const std::string part = folder + name;
        if (named.count(AsciiUpper(name)) || !IsSafePartNameOf(name.c_str(), dbPath))
            continue;
        if (::unlink(part.c_str()) == 0)
            result.removed.push_back(part);
        else if (errno != ENOENT) {
            result.problem = "cannot remove " + part + ": " + std::strerror(errno) + ".";
            return result;
        }
    }
    (void)SyncFolder(folder);
    RemovePartsJournal(dbPath);
    return result;
}

}  // namespace vmx
