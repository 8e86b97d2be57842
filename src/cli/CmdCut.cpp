#include "cli/CliCommand.h"

#include "cli/ChangeReport.h"
#include "cli/RecordingArgs.h"
#include "cli/TerminalUi.h"

#include "recdb/DbWriter.h"
#include "recording/EdlFile.h"

#include <cstdio>

namespace vmx::cli {

namespace {

const char* KindName(vmx::CutPlan::Kind kind)
{
    switch (kind) {
    case vmx::CutPlan::Kind::SinglePart: return "single-part";
    case vmx::CutPlan::Kind::TwoPart: return "two-part";
    case vmx::CutPlan::Kind::MultiPart: return "multi-part";
    }
    return "";
}

}  // namespace

// The stretches of a cut as JSON: per stretch where it was marked, where the cut lands (the key
// frames), whether the stream's clock placed each end, and the byte ranges of each part file it
// replaces by filler or removes.
void WriteStretches(vmx::cli::Json& json, const std::vector<vmx::PlannedStretch>& stretches)
{
    json.key("stretches").beginArray();
    for (const vmx::PlannedStretch& s : stretches) {
        json.beginObject();
        json.key("marked_start").decimal(s.marks.start).key("marked_end").decimal(s.marks.end);
        json.key("start").decimal(s.cut.start).key("end").decimal(s.cut.end);
        json.key("start_by_clock").boolean(s.startExact).key("end_by_clock").boolean(s.endExact);
        json.key("parts").beginArray();
        for (const vmx::PlannedStretch::Bytes& b : s.bytes) {
            json.beginObject().key("file").value(b.part).key("first_byte").value(b.first).key("end_byte").value(b.end);
            json.key("removed").boolean(b.removed).endObject();
        }
        json.endArray();
        json.endObject();
    }
    json.endArray();
}

int RunCut(const Args& input)
{
    Args args = input;
    const bool yes = TakeFlag(args, "--yes");
    const bool json = TakeFlag(args, "--json");
    const bool byByteRate = TakeFlag(args, "--by-byte-rate");
    const bool dryRun = TakeFlag(args, "--dry-run");
    const std::string edl = TakeOption(args, "--edl");
    Session().setKeepUndo(!TakeFlag(args, "--no-undo"));
    ChangeReport report("cut");
    if (args.size() < (edl.empty() ? 4u : 2u) || args.size() % 2 != 0)
        throw UsageError{"name the database, one recording id and one or more stretches: START END in seconds, "
                         "or --edl FILE"};
    const vmx::LoadedPane& pane =
        LoadDatabase(args[0], vmx::kLeftSide, dryRun ? vmx::LoadIntent::Look : vmx::LoadIntent::Change);
    const int row = RowOfId(pane, args[1]);
    vmx::CutRequest request;
    request.positioning = byByteRate ? vmx::CutPositioning::ByteRate : vmx::CutPositioning::StreamClock;
    request.dryRun = dryRun;
    for (std::size_t i = 2; i + 1 < args.size(); i += 2) {
        const double start = ParseSeconds(args[i], "START");
        const double end = ParseSeconds(args[i + 1], "END");
        if (!(start < end))
            throw UsageError{"each START must lie before its END"};
        request.stretches.push_back({start, end});
    }
    // An EDL's stretches, whatever their action: its times are seconds from the first picture too.
    if (!edl.empty()) {
        std::vector<vmx::EdlEntry> entries;
        if (const std::string error = vmx::ReadEdlFile(edl, entries); !error.empty())
            throw Failure{"nothing was cut: " + error};
        if (entries.empty())
            throw Failure{"nothing was cut: " + edl + " lists no stretch."};
        for (const vmx::EdlEntry& entry : entries)
            request.stretches.push_back({entry.start, entry.end});
    }
    if (byByteRate && request.stretches.size() != 1)
        throw UsageError{"--by-byte-rate cuts one stretch"};
    if (!pane.timingAt(row).measured())
        throw Failure{"recording " + args[1] + " cannot be cut: its last part file is missing or unreadable, so its "
                      "length is unknown (velmorix-cli check names the file)."};
    TerminalUi ui(yes);
    const vmx::CutResult result = Session().cut(vmx::kLeftSide, row, request, ui);
    if (result.outcome == vmx::CutOutcome::Declined)
        throw Failure{std::string("nothing was cut: \"") + vmx::kCutQuestion + "\" was answered No" +
                      (ui.declinedForLackOfTerminal() ? " (pass --yes to cut without asking)." : ".")};
    if (result.outcome != vmx::CutOutcome::Done && result.outcome != vmx::CutOutcome::Planned)
        throw Failure{ui.takeMessages()};
    if (!json) {
        if (dryRun) {
            for (const vmx::PlannedStretch& s : result.stretches) {
                std::printf("%.3f-%.3f cuts %.3f-%.3f\n", s.marks.start, s.marks.end, s.cut.start, s.cut.end);
                for (const vmx::PlannedStretch::Bytes& b : s.bytes)
                    std::printf("  %s %s bytes %llu-%llu\n", b.part.c_str(), b.removed ? "removed" : "filled",
                                static_cast<unsigned long long>(b.first), static_cast<unsigned long long>(b.end));
            }
            for (const std::string& note : result.notes)
                std::printf("%s\n", note.c_str());
        }
        ui.printMessages();
        ReportUndo(pane.dbPath, result.keptIn, nullptr);
        return kExitOk;
    }
    report.messages(ui.takeMessageList());
    ReportUndo(pane.dbPath, result.keptIn, &report.json());
    report.json().key("database").value(pane.dbPath).key("id").value(static_cast<unsigned>(row + 1));
    report.json().key("start").decimal(request.stretches.front().start);
    report.json().key("end").decimal(request.stretches.back().end);
    report.json().key("positions").value(byByteRate ? "byte-rate" : "stream-clock");
    report.json().key("dry_run").boolean(dryRun);
    report.json().key("clock_bytes_read").value(result.clockBytesRead);
    if (!dryRun)
        report.json().key("kind").value(KindName(result.kind));
    WriteStretches(report.json(), result.stretches);
    report.json().key("notes").beginArray();
    for (const std::string& note : result.notes)
        report.json().value(note);
    report.json().endArray();
    report.json().key("renamed").beginArray();
    for (const auto& [from, to] : result.renamed)
        report.json().beginObject().key("from").value(from).key("to").value(to).endObject();
    report.json().endArray();
    if (!dryRun) {
        report.written(pane.dbPath);
        report.written(vmx::BackupPathOf(pane.dbPath));
    }
    for (const std::string& part : result.rewritten)
        report.written(part);
    for (const auto& renamed : result.renamed)
        report.written(renamed.second);
    for (const std::string& part : result.removed)
        report.removed(part);
    report.print();
    return kExitOk;
}

}  // namespace vmx::cli
