#include "recording/UndoManifest.h"

#include "common/Fnv1a.h"
#include "common/PendingFile.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"
#include "recdb/DbCompanions.h"
#include "recording/JournalFields.h"
#include "recording/RecordingFiles.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace vmx {

namespace {

constexpr char kMagic[8] = {'V', 'M', 'X', 'U', 'N', 'D', 'O', '1'};
constexpr std::size_t kMaxStretches = 512;
constexpr std::size_t kMaxPacketRanges = 1024;
constexpr std::size_t kRecordFields = 16 + 8 + 8 + 4 + 4 + 6 * 2 + 1 + 1 + 2 + 48 + 3 * 8 + 1 + 2;
constexpr std::size_t kMaxManifestSize =
    64 + 255 + (kDBMMaxRecords + 1) * (4 + kRecordFields + kDBMMaxParts * kAVMPartNameLen) +
    2 * kDBMMaxParts * (kAVMPartNameLen + 8) + kMaxPacketRanges * (kAVMPartNameLen + 24) + kMaxStretches * 16 + 64;

void writeRecord(JournalWriter& w, const AVMRec& rec)
{
    w.bytes(rec.name, sizeof rec.name);
    w.u64(rec.extA);
    w.u64(rec.extB);
    w.u32(rec.startTime);
    w.u32(rec.duration);
    for (const std::uint16_t v : {rec.vid, rec.aid, rec.pid, rec.streamWord4, rec.ecmPid, rec.streamWord6})
        w.u16(v);
    w.u8(rec.attr1);
    w.u8(rec.attr2);
    w.u16(rec.attr3);
    w.bytes(rec.attrBlock, sizeof rec.attrBlock);
    for (const std::uint64_t v : rec.extC)
        w.u64(v);
    w.u8(rec.extD);
    const std::uint16_t parts = rec.partCount <= kDBMMaxParts ? rec.partCount : 0;
    w.u16(parts);
    for (int j = 0; j < parts; ++j)
        w.bytes(rec.parts[j].name, kAVMPartNameLen);
}

bool readRecord(JournalReader& r, AVMRec& rec)
{
    rec = AVMRec{};
    const std::uint8_t* at = nullptr;
    if (!r.take(sizeof rec.name, at))
        return false;
    std::memcpy(rec.name, at, sizeof rec.name);
    std::uint16_t words[6] = {};
    bool ok = r.u64(rec.extA) && r.u64(rec.extB) && r.u32(rec.startTime) && r.u32(rec.duration);
    for (std::uint16_t& word : words)
        ok = ok && r.u16(word);
    rec.vid = words[0];
    rec.aid = words[1];
    rec.pid = words[2];
    rec.streamWord4 = words[3];
    rec.ecmPid = words[4];
    rec.streamWord6 = words[5];
    ok = ok && r.u8(rec.attr1) && r.u8(rec.attr2) && r.u16(rec.attr3) && r.take(sizeof rec.attrBlock, at);
    if (!ok)
        return false;
    std::memcpy(rec.attrBlock, at, sizeof rec.attrBlock);
    for (std::uint64_t& v : rec.extC)
        ok = ok && r.u64(v);
    std::uint16_t parts = 0;
    if (!ok || !r.u8(rec.extD) || !r.u16(parts) || parts > kDBMMaxParts)
        return false;
    rec.partCount = parts;
    for (int j = 0; j < parts; ++j) {
        std::string name;
        if (!r.name(name))
            return false;
        std::memcpy(rec.parts[j].name, name.data(), kAVMPartNameLen);
    }
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodeUndoRecord(const AVMRec& record)
{
    JournalWriter w;
    writeRecord(w, record);
    return std::move(w.out);
}

bool SameRecording(const AVMRec& a, const AVMRec& b)
{
    // The size is what a load measured of the part files, which the file may not hold yet.
    AVMRec first = a;
    AVMRec second = b;
    first.extA = second.extA = 0;
    return EncodeUndoRecord(first) == EncodeUndoRecord(second);
}

int FindListedRecording(const RecordStore& store, const AVMRec& record)
{
    for (unsigned id = 1; id <= store.listedCount(); ++id) {
        AVMRec listed{};
        if (store.get(id, listed) && SameRecording(listed, record))
            return static_cast<int>(id) - 1;
    }
    return -1;
}

std::vector<std::uint8_t> EncodeUndoManifest(const UndoManifest& m)
{
    JournalWriter w;
    w.bytes(kMagic, sizeof kMagic);
    w.u8(static_cast<std::uint8_t>(m.kind));
    w.u8(static_cast<std::uint8_t>(m.state));
    w.u8(m.phase);
    w.u8(static_cast<std::uint8_t>(m.dbName.size()));
    w.bytes(m.dbName.data(), m.dbName.size());
    w.u16(static_cast<std::uint16_t>(m.before.size()));
    for (const UndoManifest::Recording& recording : m.before) {
        w.u16(static_cast<std::uint16_t>(recording.row));
        w.u16(static_cast<std::uint16_t>(recording.index));
        writeRecord(w, recording.record);
    }
    if (m.kind == UndoManifest::Kind::Cut)
        writeRecord(w, m.after);
    w.u16(static_cast<std::uint16_t>(m.parts.size()));
    for (const UndoManifest::KeptPart& part : m.parts) {
        w.name(part.name);
        w.u64(part.size);
    }
    w.u16(static_cast<std::uint16_t>(m.packets.size()));
    for (const UndoManifest::Packets& range : m.packets) {
        w.name(range.part);
        w.u64(range.offset);
        w.u64(range.length);
        w.u64(range.at);
    }
    w.u64(m.packetsHash);
    w.u16(static_cast<std::uint16_t>(m.renames.size()));
    for (const CutJournal::Rename& rename : m.renames) {
        w.name(rename.from);
        w.name(rename.to);
    }
    w.u16(static_cast<std::uint16_t>(m.stretches.size()));
    for (const CutStretch& stretch : m.stretches) {
        w.u64(std::bit_cast<std::uint64_t>(stretch.start));
        w.u64(std::bit_cast<std::uint64_t>(stretch.end));
    }
    w.u8(static_cast<std::uint8_t>(m.positioning));
    w.u64(Fnv1a64(w.out.data(), w.out.size()));
    return std::move(w.out);
}

std::string DecodeUndoManifest(const std::uint8_t* data, std::size_t size, UndoManifest& m)
{
    m = UndoManifest{};
    const std::string damaged = "the undo manifest is damaged";
    if (size < sizeof kMagic + 8 || std::memcmp(data, kMagic, sizeof kMagic) != 0)
        return "the file is not an undo manifest.";
    if (ReadBe64(data + size - 8) != Fnv1a64(data, size - 8))
        return damaged + " (its checksum does not match).";
    JournalReader r(data, size - 8);
    const std::uint8_t* at = nullptr;
    std::uint8_t kind = 0;
    std::uint8_t state = 0;
    std::uint8_t length = 0;
    if (!r.take(sizeof kMagic, at) || !r.u8(kind) || kind < 1 || kind > 2 || !r.u8(state) || state > 3 ||
        !r.u8(m.phase) || m.phase > 1 || !r.u8(length) || length == 0 || !r.take(length, at))
        return damaged + " (its header).";
    m.kind = static_cast<UndoManifest::Kind>(kind);
    m.state = static_cast<UndoManifest::State>(state);
    m.dbName.assign(reinterpret_cast<const char*>(at), length);
    if (m.dbName.find('/') != std::string::npos || m.dbName.find('\0') != std::string::npos || m.dbName[0] == '.')
        return damaged + " (the database's name).";
    std::uint16_t count = 0;
    if (!r.u16(count) || count == 0 || count > kDBMMaxRecords ||
        (m.kind == UndoManifest::Kind::Cut && count != 1))
        return damaged + " (its recordings).";
    for (std::uint16_t i = 0; i < count; ++i) {
        UndoManifest::Recording recording;
        std::uint16_t row = 0;
        std::uint16_t index = 0;
        if (!r.u16(row) || row >= kDBMMaxIds || !r.u16(index) || index >= kDBMMaxRecords ||
            !readRecord(r, recording.record))
            return damaged + " (its recordings).";
        recording.row = row;
        recording.index = index;
        recording.record.slot = static_cast<std::uint16_t>(index + 1);
        m.before.push_back(recording);
    }
    if (m.kind == UndoManifest::Kind::Cut && !readRecord(r, m.after))
        return damaged + " (the recording after the cut).";
    if (!r.u16(count) || count > kDBMMaxRecords * kDBMMaxParts)
        return damaged + " (its parts).";
    for (std::uint16_t i = 0; i < count; ++i) {
        UndoManifest::KeptPart part;
        if (!r.name(part.name) || !r.u64(part.size))
            return damaged + " (its parts).";
        m.parts.push_back(part);
    }
    if (!r.u16(count) || count > kMaxPacketRanges)
        return damaged + " (its packets).";
    for (std::uint16_t i = 0; i < count; ++i) {
        UndoManifest::Packets range;
        if (!r.name(range.part) || !r.u64(range.offset) || !r.u64(range.length) || !r.u64(range.at) ||
            range.length > (std::uint64_t{1} << 40) || range.offset > (std::uint64_t{1} << 40))
            return damaged + " (its packets).";
        m.packets.push_back(range);
    }
    if (!r.u64(m.packetsHash) || !r.u16(count) || count > kDBMMaxParts)
        return damaged + " (its renames).";
    for (std::uint16_t i = 0; i < count; ++i) {
        CutJournal::Rename rename;
        if (!r.name(rename.from) || !r.name(rename.to) || rename.from == rename.to)
            return damaged + " (its renames).";
        m.renames.push_back(rename);
    }
    if (!r.u16(count) || count > kMaxStretches)
        return damaged + " (its stretches).";
    for (std::uint16_t i = 0; i < count; ++i) {
        std::uint64_t start = 0;
        std::uint64_t end = 0;
        if (!r.u64(start) || !r.u64(end))
            return damaged + " (its stretches).";
        m.stretches.push_back({std::bit_cast<double>(start), std::bit_cast<double>(end)});
    }
    std::uint8_t positioning = 0;
    if (!r.u8(positioning) || positioning > 1)
        return damaged + " (its stretches).";
    m.positioning = static_cast<CutPositioning>(positioning);
    if (r.position() != size - 8)
        return damaged + " (bytes after its end).";
    return {};
}

std::string WriteUndoManifest(const std::string& entry, const UndoManifest& manifest)
{
    const std::vector<std::uint8_t> bytes = EncodeUndoManifest(manifest);
    const std::string path = entry + kUndoManifestName;
    if (const int error = WriteFileDurably(path, bytes.data(), bytes.size()); error != 0)
        return "cannot write the undo manifest " + path + ": " + std::strerror(error) + ".";
    return {};
}

std::string ReadUndoManifest(const std::string& entry, UndoManifest& manifest)
{
    const std::string path = entry + kUndoManifestName;
    std::vector<std::uint8_t> bytes;
    if (std::string error = ReadJournalFile(path, kMaxManifestSize, "the undo manifest", bytes); !error.empty())
        return error;
    if (std::string error = DecodeUndoManifest(bytes.data(), bytes.size(), manifest); !error.empty())
        return path + ": " + error;
    return {};
}

std::string UndoTransitName(std::size_t index)
{
    char name[16];
    std::snprintf(name, sizeof name, "~%zu", index);
    return name;
}

std::string UndoLabel(const UndoManifest& manifest)
{
    const std::string what = manifest.kind == UndoManifest::Kind::Cut ? "cut of " : "delete of ";
    if (manifest.before.size() == 1)
        return what + "'" + RecordDisplayName(manifest.before.front().record) + "'";
    return what + std::to_string(manifest.before.size()) + " recordings";
}

}  // namespace vmx
