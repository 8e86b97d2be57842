// list, show, create, rename, delete and check: the database commands.
#include "CliCommand.h"

#include "CliSupport.h"
#include "Json.h"

#include "recdb/DbCheck.h"
#include "recdb/DbWriter.h"
#include "recdb/DiskNaming.h"
#include "recdb/RecordStore.h"
#include "recording/Deletion.h"
#include "recording/RecordingFiles.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>

namespace vmxcli {
namespace {

std::string hex(const std::uint8_t* bytes, std::size_t n)
{
    std::string out;
    char two[3];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        out += two;
    }
    return out;
}

std::string startTimeText(std::uint32_t seconds)
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

std::string durationText(std::uint32_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

// One record as JSON; the name goes as its stored bytes, which the writer escapes as it must.
void recordJson(Json& json, unsigned id, const AVMRec& rec)
{
    json.beginObject()
        .key("id").value(id)
        .key("slot").value(rec.slot)
        .key("name").value(vmx::RecordNameBytes(rec))
        .key("name_hex").value(hex(rec.name, sizeof rec.name))
        .key("start_time").value(rec.startTime)
        .key("duration").value(rec.duration)
        .key("vid").value(rec.vid)
        .key("aid").value(rec.aid)
        .key("pid").value(rec.pid)
        .key("stream_word4").value(rec.streamWord4)
        .key("ecm_pid").value(rec.ecmPid)
        .key("stream_word6").value(rec.streamWord6)
        .key("attr1").value(rec.attr1)
        .key("attr2").value(rec.attr2)
        .key("attr3").value(rec.attr3)
        .key("part_count").value(rec.partCount);
    json.key("parts").beginArray();
    for (int j = 0; j < rec.partCount && j < kDBMMaxParts; ++j)
        json.value(std::string(rec.parts[j].name, kAVMPartNameLen));
    json.endArray();
    json.key("ext_a").value(rec.extA).endObject();
}

// The listed recordings, ids 1..count, skipping ids that no record carries.
std::vector<std::pair<unsigned, AVMRec>> listedRecords()
{
    AVMRecordTable table{};
    DBMGetSys(kDBMTypeRecord, &table);
    std::vector<std::pair<unsigned, AVMRec>> out;
    const unsigned count = std::min<unsigned>(table.count, kDBMMaxIds);
    for (unsigned id = 1; id <= count; ++id) {
        AVMRec rec{};
        if (DBMGetRecord(kDBMTypeRecord, id, &rec))
            out.emplace_back(id, rec);
    }
    return out;
}

std::string sizeText(std::uint64_t bytes)
{
    char text[32];
    if (bytes == UINT64_MAX)
        return "missing";
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / 1048576.0);
    return text;
}

std::string positional(const Args& args, std::size_t index, const char* what)
{
    if (index >= args.size())
        throw UsageError{std::string("missing ") + what + "."};
    return args[index];
}

void expectCount(const Args& args, std::size_t n)
{
    if (args.size() > n)
        throw UsageError{"unexpected argument \"" + args[n] + "\"."};
}

// Writes the active side's database, or throws Failure.
void writeDatabase(const std::string& dbPath)
{
    if (const std::string error = vmx::WriteDb(kDBMTypeRecord); !error.empty())
        throw Failure{error + " " + dbPath + " is unchanged on disk."};
}

AVMRec recordOrFail(unsigned id, const std::string& dbPath)
{
    AVMRec rec{};
    AVMRecordTable table{};
    DBMGetSys(kDBMTypeRecord, &table);
    if (id > table.count || !DBMGetRecord(kDBMTypeRecord, id, &rec))
        throw Failure{"there is no recording " + std::to_string(id) + " in " + dbPath + "."};
    return rec;
}

}  // namespace

int runList(const Args& argsIn)
{
    Args args = argsIn;
    const bool json = takeFlag(args, "--json");
    const std::string db = positional(args, 0, "the database file");
    expectCount(args, 1);
    const auto pane = loadDatabase(db);
    AVMRecordTable table{};
    DBMGetSys(kDBMTypeRecord, &table);
    const auto records = listedRecords();
    if (json) {
        // The header as the file holds it.
        Json out;
        std::FILE* f = std::fopen(db.c_str(), "rb");
        std::uint8_t header[6] = {};
        if (f) {
            if (std::fread(header, 1, sizeof header, f) != sizeof header)
                std::fill(std::begin(header), std::end(header), std::uint8_t{0});
            std::fclose(f);
        }
        out.beginObject()
            .key("version").value(static_cast<unsigned>(header[0] << 8 | header[1]))
            .key("header_size").value(static_cast<unsigned>(header[2] << 8 | header[3]))
            .key("count").value(table.count);
        out.key("records").beginArray();
        for (const auto& [id, rec] : records)
            recordJson(out, id, rec);
        out.endArray().endObject();
        std::printf("%s\n", out.str().c_str());
        return kExitOk;
    }
    std::printf("%-4s %-16s %-20s %-9s %5s %10s\n", "No", "Channel", "Start", "Duration", "Parts", "Size");
    for (const auto& [id, rec] : records) {
        const auto& t = pane.timing;
        const std::uint64_t size = id - 1 < t.size() ? t[id - 1].totalSize : UINT64_MAX;
        std::printf("%-4u %-16s %-20s %-9s %5u %10s\n", id, vmx::RecordDisplayName(rec).c_str(), startTimeText(rec.startTime).c_str(),
                    durationText(rec.duration).c_str(), rec.partCount, sizeText(size).c_str());
    }
    std::printf("%zu recording(s) in %s\n", records.size(), db.c_str());
    return kExitOk;
}

int runShow(const Args& argsIn)
{
    Args args = argsIn;
    const bool json = takeFlag(args, "--json");
    const std::string db = positional(args, 0, "the database file");
    const unsigned id = parseId(positional(args, 1, "the recording number"));
    expectCount(args, 2);
    const auto pane = loadDatabase(db);
    const AVMRec rec = recordOrFail(id, db);
    if (json) {
        Json out;
        recordJson(out, id, rec);
        std::printf("%s\n", out.str().c_str());
        return kExitOk;
    }
    std::printf("No:         %u\nChannel:    %s\nStart:      %s\nDuration:   %s\n", id, vmx::RecordDisplayName(rec).c_str(),
                startTimeText(rec.startTime).c_str(), durationText(rec.duration).c_str());
    std::printf("VID: %d | AID: %d | PID: %d | ecmPID: %d\n", rec.vid, rec.aid, rec.pid, rec.ecmPid);
    std::printf("Size:       %s (%llu bytes)\nParts:      %u\n", sizeText(rec.extA).c_str(),
                static_cast<unsigned long long>(rec.extA), rec.partCount);
    for (int j = 0; j < rec.partCount; ++j)
        std::printf("  %s%s\n", pane.folder.c_str(), AVMPrintablePartName(rec.parts[j].name).c_str());
    return kExitOk;
}

int runCreate(const Args& args)
{
    const std::string db = positional(args, 0, "the database file");
    expectCount(args, 1);
    if (std::string error = AVMCreateEmptyDb(db); !error.empty())
        throw Failure{"cannot create the database " + error + "."};
    std::printf("Created the empty database %s\n", db.c_str());
    return kExitOk;
}

int runRename(const Args& args)
{
    const std::string db = positional(args, 0, "the database file");
    const unsigned id = parseId(positional(args, 1, "the recording number"));
    const std::string name = positional(args, 2, "the new name");
    expectCount(args, 3);
    loadDatabase(db);
    AVMRec rec = recordOrFail(id, db);
    // Bytes 1..15 take the new name, zero-padded; the marker byte stays.
    for (std::size_t i = 1; i < sizeof rec.name; ++i)
        rec.name[i] = i - 1 < name.size() ? static_cast<std::uint8_t>(name[i - 1]) : 0;
    DBMSetRecord(kDBMTypeRecord, id, &rec);
    writeDatabase(db);
    std::printf("Recording %u is now \"%s\"\n", id, vmx::RecordDisplayName(rec).c_str());
    return kExitOk;
}

int runDelete(const Args& args)
{
    const std::string db = positional(args, 0, "the database file");
    if (args.size() < 2)
        throw UsageError{"missing the recording numbers to delete."};
    std::set<unsigned> ids;
    for (std::size_t i = 1; i < args.size(); ++i)
        ids.insert(parseId(args[i]));
    auto pane = loadDatabase(db);
    std::vector<int> rows;
    for (const unsigned id : ids) {
        recordOrFail(id, db);
        rows.push_back(static_cast<int>(id) - 1);
    }
    const vmx::DeleteResult result = vmx::DeleteRecordRows(pane, rows);
    if (!result.ok)
        throw Failure{result.message};
    std::printf("Deleted %zu recording(s) from %s\n", ids.size(), db.c_str());
    return kExitOk;
}

int runCheck(const Args& args)
{
    const std::string db = positional(args, 0, "the database file");
    expectCount(args, 1);
    const auto problems = AVMCheckDbFile(db);
    for (const auto& p : problems)
        std::printf("%s\n", p.c_str());
    if (!problems.empty()) {
        std::fprintf(stderr, "velmorix-cli check: %zu problem(s) found in %s.\n", problems.size(), db.c_str());
        return kExitFailed;
    }
    std::printf("%s: no problems found.\n", db.c_str());
    return kExitOk;
}

}  // namespace vmxcli
