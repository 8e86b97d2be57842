#include "recording/CutJournal.h"

#include "common/BigEndian.h"
#include "common/Fnv1a.h"
#include "common/PendingFile.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"
#include "recdb/DbCompanions.h"
#include "recdb/DbReader.h"
#include "recdb/DiskNaming.h"
#include "recording/JournalFields.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace vmx {

namespace {

constexpr char kMagicV1[8] = {'V', 'M', 'X', 'C', 'U', 'T', '1', '\n'};
constexpr char kMagic[8] = {'V', 'M', 'X', 'C', 'U', 'T', '2', '\n'};
constexpr std::size_t kMaxTrims = 1024;  // up to two for each of the 500 stretches one cut takes
constexpr std::size_t kMaxPlanSize = 64 + 2 * 255 + kMaxTrims * (kAVMPartNameLen + 16) +
                                     3 * kDBMMaxParts * kAVMPartNameLen + kMaxDbContentSize + 64;

}  // namespace

bool CutJournal::operator==(const CutJournal& other) const
{
    if (phase != other.phase || dbName != other.dbName || keepFolder != other.keepFolder || sizeBefore != other.sizeBefore ||
        hashBefore != other.hashBefore || removed != other.removed || content != other.content ||
        trims.size() != other.trims.size() || renames.size() != other.renames.size())
        return false;
    for (std::size_t i = 0; i < trims.size(); ++i) {
        if (trims[i].part != other.trims[i].part || trims[i].packets.first != other.trims[i].packets.first ||
            trims[i].packets.last != other.trims[i].packets.last)
            return false;
    }
    for (std::size_t i = 0; i < renames.size(); ++i) {
        if (renames[i].from != other.renames[i].from || renames[i].to != other.renames[i].to)
            return false;
    }
    return true;
}

std::vector<std::uint8_t> EncodeCutJournal(const CutJournal& plan)
{
    JournalWriter w;
    w.bytes(kMagic, sizeof kMagic);
    w.u8(static_cast<std::uint8_t>(plan.phase));
    w.u8(static_cast<std::uint8_t>(plan.dbName.size()));
    w.bytes(plan.dbName.data(), plan.dbName.size());
    w.u8(static_cast<std::uint8_t>(plan.keepFolder.size()));
    w.bytes(plan.keepFolder.data(), plan.keepFolder.size());
    w.u64(plan.sizeBefore);
    w.u64(plan.hashBefore);
    w.u16(static_cast<std::uint16_t>(plan.trims.size()));
    for (const CutJournal::Trim& trim : plan.trims) {
        w.name(trim.part);
        w.u64(static_cast<std::uint64_t>(trim.packets.first));
        w.u64(static_cast<std::uint64_t>(trim.packets.last));
    }
    w.u16(static_cast<std::uint16_t>(plan.removed.size()));
    for (const std::string& name : plan.removed)
        w.name(name);
    w.u16(static_cast<std::uint16_t>(plan.renames.size()));
    for (const CutJournal::Rename& rename : plan.renames) {
        w.name(rename.from);
        w.name(rename.to);
    }
    w.u32(static_cast<std::uint32_t>(plan.content.size()));
    w.bytes(plan.content.data(), plan.content.size());
    w.u64(Fnv1a64(w.out.data(), w.out.size()));
    return w.out;
}

std::string DecodeCutJournal(const std::uint8_t* data, std::size_t size, CutJournal& plan)
{
    plan = CutJournal{};
    const std::string damaged = "the cut's plan is damaged";
    // Plans of the version before undo have no keep folder; a cut left by it is finished as well.
    const bool firstVersion = size >= sizeof kMagic && std::memcmp(data, kMagicV1, sizeof kMagicV1) == 0;
    if (size < sizeof kMagic + 8 || (!firstVersion && std::memcmp(data, kMagic, sizeof kMagic) != 0))
        return "the file is not a cut's plan.";
    if (ReadBe64(data + size - 8) != Fnv1a64(data, size - 8))
        return damaged + " (its checksum does not match).";
    JournalReader r(data, size - 8);
    const std::uint8_t* at = nullptr;
    std::uint8_t phase = 0;
    std::uint8_t nameLength = 0;
    if (!r.take(sizeof kMagic, at) || !r.u8(phase) || phase > 1 || !r.u8(nameLength) || nameLength == 0 ||
        !r.take(nameLength, at))
        return damaged + " (its header).";
    plan.phase = static_cast<CutJournal::Phase>(phase);
    plan.dbName.assign(reinterpret_cast<const char*>(at), nameLength);
    if (plan.dbName.find('/') != std::string::npos || plan.dbName.find('\0') != std::string::npos)
        return damaged + " (the database's name).";
    if (!firstVersion) {
        if (!r.u8(nameLength) || !r.take(nameLength, at))
            return damaged + " (its undo folder).";
        plan.keepFolder.assign(reinterpret_cast<const char*>(at), nameLength);
        if (!plan.keepFolder.empty() && !IsUndoEntryName(plan.keepFolder, plan.dbName))
            return damaged + " (its undo folder).";
    }
    std::uint16_t count = 0;
    if (!r.u64(plan.sizeBefore) || !r.u64(plan.hashBefore) || !r.u16(count) || count > kMaxTrims)
        return damaged + " (its trims).";
    for (std::uint16_t i = 0; i < count; ++i) {
        CutJournal::Trim trim;
        std::uint64_t first = 0;
        std::uint64_t last = 0;
        if (!r.name(trim.part) || !r.u64(first) || !r.u64(last))
            return damaged + " (its trims).";
        trim.packets.first = static_cast<std::int64_t>(first);
        trim.packets.last = static_cast<std::int64_t>(last);
        if (trim.packets.first < 0 || trim.packets.last < -1)
            return damaged + " (its trims).";
        plan.trims.push_back(trim);
    }
    if (!r.u16(count) || count > kDBMMaxParts)
        return damaged + " (its removals).";
    for (std::uint16_t i = 0; i < count; ++i) {
        std::string name;
        if (!r.name(name))
            return damaged + " (its removals).";
        plan.removed.push_back(name);
    }
    if (!r.u16(count) || count > kDBMMaxParts)
        return damaged + " (its renames).";
    for (std::uint16_t i = 0; i < count; ++i) {
        CutJournal::Rename rename;
        if (!r.name(rename.from) || !r.name(rename.to) || rename.from == rename.to)
            return damaged + " (its renames).";
        plan.renames.push_back(rename);
    }
    std::uint32_t contentSize = 0;
    if (!r.u32(contentSize) || contentSize == 0 || contentSize > kMaxDbContentSize || !r.take(contentSize, at))
        return damaged + " (the database content).";
    plan.content.assign(at, at + contentSize);
    if (r.position() != size - 8)
        return damaged + " (bytes after its end).";
    return {};
}

std::string WriteCutJournal(const std::string& path, const CutJournal& plan)
{
    const std::vector<std::uint8_t> bytes = EncodeCutJournal(plan);
    if (const int error = WriteFileDurably(path, bytes.data(), bytes.size()); error != 0)
        return "cannot write the cut's plan " + path + ": " + std::strerror(error) + ".";
    return {};
}

std::string ReadCutJournal(const std::string& path, CutJournal& plan)
{
    std::vector<std::uint8_t> bytes;
    if (std::string error = ReadJournalFile(path, kMaxPlanSize, "the cut's plan", bytes); !error.empty())
        return error;
    if (std::string error = DecodeCutJournal(bytes.data(), bytes.size(), plan); !error.empty())
        return path + ": " + error;
    return {};
}

}  // namespace vmx
