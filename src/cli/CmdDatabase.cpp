// list, show, create, rename, delete and check: the database commands.
#include "cli/CliCommand.h"

#include "cli/ChangeReport.h"
#include "cli/CliSupport.h"
#include "cli/Json.h"
#include "cli/TerminalUi.h"

#include "recdb/DbWriter.h"

#include <cstdio>
#include <set>

namespace vmx::cli {
namespace {

std::string Hex(const std::uint8_t* bytes, std::size_t n)
{
    std::string out;
    char two[3];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        out += two;
    }
    return out;
}

// One record as JSON; the name goes as its stored bytes, which the writer escapes as it must.
void RecordJson(Json& json, const vmx::RecordDetails& rec)
{
    json.beginObject()
        .key("id").value(rec.id)
        .key("slot").value(rec.slot)
        .key("name").value(rec.nameBytes)
        .key("name_hex").value(Hex(rec.nameField.data(), rec.nameField.size()))
        .key("start_time").value(rec.startTime)
        .key("duration").value(rec.duration)
        .key("vid").value(rec.streams.vid)
        .key("aid").value(rec.streams.aid)
        .key("pid").value(rec.streams.pid)
        .key("stream_word4").value(rec.streams.streamWord4)
        .key("ecm_pid").value(rec.streams.ecmPid)
        .key("stream_word6").value(rec.streams.streamWord6)
        .key("attr1").value(rec.attr1)
        .key("attr2").value(rec.attr2)
        .key("attr3").value(rec.attr3)
        .key("part_count").value(rec.partNames.size());
    json.key("parts").values(rec.partNames);
    json.key("ext_a").value(rec.extA).endObject();
}

// The listed recordings of the left pane, skipping ids that no record carries.
std::vector<vmx::RecordDetails> ListedRecords()
{
    std::vector<vmx::RecordDetails> out;
    for (const vmx::RecordRow& row : Session().rows(vmx::kLeftSide)) {
        if (auto details = Session().details(vmx::kLeftSide, row.row))
            out.push_back(*details);
    }
    return out;
}

std::string SizeText(std::uint64_t bytes)
{
    char text[32];
    if (bytes == UINT64_MAX)
        return "missing";
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / 1048576.0);
    return text;
}

}  // namespace

int RunList(const Args& argsIn)
{
    Args args = argsIn;
    const bool json = TakeFlag(args, "--json");
    const std::string db = Positional(args, 0, "the database file");
    ExpectCount(args, 1);
    const vmx::LoadedPane& pane = LoadDatabase(db);
    const auto records = ListedRecords();
    if (json) {
        // The header as the file holds it.
        Json out;
        out.beginObject()
            .key("version").value(pane.header.version)
            .key("header_size").value(pane.header.headerSize)
            .key("count").value(pane.header.count);
        out.key("records").beginArray();
        for (const auto& rec : records)
            RecordJson(out, rec);
        out.endArray().endObject();
        std::printf("%s\n", out.str().c_str());
        return kExitOk;
    }
    std::printf("%-4s %-16s %-20s %-9s %5s %10s\n", "No", "Channel", "Start", "Duration", "Parts", "Size");
    for (const auto& rec : records) {
        std::printf("%-4u %-16s %-20s %-9s %5zu %10s\n", rec.id, rec.displayName.c_str(),
                    vmx::StartTimeText(rec.startTime).c_str(), vmx::DurationText(rec.duration).c_str(),
                    rec.partNames.size(), SizeText(rec.timing.totalSize).c_str());
    }
    std::printf("%zu recording(s) in %s\n", records.size(), db.c_str());
    return kExitOk;
}

int RunShow(const Args& argsIn)
{
    Args args = argsIn;
    const bool json = TakeFlag(args, "--json");
    const std::string db = Positional(args, 0, "the database file");
    const unsigned id = ParseId(Positional(args, 1, "the recording number"));
    ExpectCount(args, 2);
    LoadDatabase(db);
    const auto rec = Session().details(vmx::kLeftSide, ListedRow(id));
    if (!rec)
        throw Failure{"there is no recording " + std::to_string(id) + " in " + db + "."};
    if (json) {
        Json out;
        RecordJson(out, *rec);
        std::printf("%s\n", out.str().c_str());
        return kExitOk;
    }
    std::printf("No:         %u\nChannel:    %s\nStart:      %s\nDuration:   %s\n", id, rec->displayName.c_str(),
                vmx::StartTimeText(rec->startTime).c_str(), vmx::DurationText(rec->duration).c_str());
    std::printf("%s\n", vmx::StreamLine(rec->streams).c_str());
    std::printf("Size:       %s (%llu bytes)\nParts:      %zu\n", SizeText(rec->extA).c_str(),
                static_cast<unsigned long long>(rec->extA), rec->partNames.size());
    for (const std::string& part : rec->printableParts)
        std::printf("  %s%s\n", rec->folder.c_str(), part.c_str());
    return kExitOk;
}

int RunCreate(const Args& argsIn)
{
    Args args = argsIn;
    const bool json = TakeFlag(args, "--json");
    ChangeReport report("create");
    const std::string db = Positional(args, 0, "the database file");
    ExpectCount(args, 1);
    TerminalUi ui(false);
    if (!Session().createDatabase(db, ui).ok)
        throw Failure{ui.takeMessages()};
    if (!json) {
        std::printf("Created the empty database %s\n", db.c_str());
        return kExitOk;
    }
    report.json().key("database").value(db);
    report.written(db);
    report.print();
    return kExitOk;
}

int RunRename(const Args& argsIn)
{
    Args args = argsIn;
    const bool json = TakeFlag(args, "--json");
    ChangeReport report("rename");
    const std::string db = Positional(args, 0, "the database file");
    const unsigned id = ParseId(Positional(args, 1, "the recording number"));
    const std::string name = Positional(args, 2, "the new name");
    ExpectCount(args, 3);
    LoadDatabase(db, vmx::kLeftSide, vmx::LoadIntent::Change);
    const int row = ListedRow(id);
    TerminalUi ui(false);
    const vmx::RenameResult result = Session().renameRow(vmx::kLeftSide, row, name, ui);
    if (!result.ok)
        throw Failure{ui.takeMessages()};
    if (!json) {
        std::printf("Recording %u is now \"%s\"\n", id, result.name.c_str());
        return kExitOk;
    }
    const auto renamed = Session().details(vmx::kLeftSide, row);
    report.json().key("database").value(db).key("id").value(id).key("name").value(renamed ? renamed->nameBytes : name);
    report.written(db);
    report.written(vmx::BackupPathOf(db));
    report.print();
    return kExitOk;
}

int RunDelete(const Args& argsIn)
{
    Args args = argsIn;
    const bool json = TakeFlag(args, "--json");
    Session().setKeepUndo(!TakeFlag(args, "--no-undo"));
    ChangeReport report("delete");
    const std::string db = Positional(args, 0, "the database file");
    if (args.size() < 2)
        throw UsageError{"missing the recording numbers to delete."};
    std::set<unsigned> ids;
    for (std::size_t i = 1; i < args.size(); ++i)
        ids.insert(ParseId(args[i]));
    LoadDatabase(db, vmx::kLeftSide, vmx::LoadIntent::Change);
    std::vector<int> rows;
    for (const unsigned id : ids)
        rows.push_back(ListedRow(id));
    TerminalUi ui(false);
    const vmx::DeleteResult result = Session().deleteRows(vmx::kLeftSide, rows, ui);
    if (!result.ok)
        throw Failure{ui.takeMessages()};
    if (!json) {
        std::printf("Deleted %zu recording(s) from %s\n", ids.size(), db.c_str());
        ui.printMessages();
        ReportUndo(db, result.keptIn, nullptr);
        return kExitOk;
    }
    report.messages(ui.takeMessageList());
    ReportUndo(db, result.keptIn, &report.json());
    report.json().key("database").value(db).key("ids").beginArray();
    for (const unsigned id : ids)
        report.json().value(id);
    report.json().endArray();
    report.written(db);
    report.written(vmx::BackupPathOf(db));
    for (const std::string& path : result.removedFiles)
        report.removed(path);
    report.print();
    return kExitOk;
}

int RunCheck(const Args& args)
{
    const std::string db = Positional(args, 0, "the database file");
    ExpectCount(args, 1);
    std::vector<std::string> notes;
    // Finishing an interrupted undo rewrites the database, through the record store.
    (void)Session();
    const auto problems = vmx::RecordingSession::checkDatabase(db, vmx::RecordingSession::kLockWait, &notes);
    for (const auto& note : notes)
        std::printf("%s\n", note.c_str());
    for (const auto& p : problems)
        std::printf("%s\n", p.c_str());
    if (!problems.empty()) {
        std::fprintf(stderr, "velmorix-cli check: %zu problem(s) found in %s.\n", problems.size(), db.c_str());
        return kExitFailed;
    }
    std::printf("%s: no problems found.\n", db.c_str());
    return kExitOk;
}

}  // namespace vmx::cli
