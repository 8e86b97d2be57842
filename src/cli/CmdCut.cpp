#include "cli/CliCommand.h"

#include "cli/ChangeReport.h"
#include "cli/RecordingArgs.h"
#include "cli/TerminalUi.h"

#include "recdb/DbWriter.h"

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

int RunCut(const Args& input)
{
    Args args = input;
    const bool yes = TakeFlag(args, "--yes");
    const bool json = TakeFlag(args, "--json");
    ChangeReport report("cut");
    if (args.size() != 4)
        throw UsageError{"name the database, one recording id and the start and end marks in seconds"};
    const vmx::LoadedPane& pane = LoadDatabase(args[0], vmx::kLeftSide, vmx::LoadIntent::Change);
    const int row = RowOfId(pane, args[1]);
    const double start = ParseSeconds(args[2], "START");
    const double end = ParseSeconds(args[3], "END");
    if (!(start < end))
        throw UsageError{"START must lie before END"};
    if (!pane.timingAt(row).measured())
        throw Failure{"recording " + args[1] + " cannot be cut: its last part file is missing or unreadable, so its "
                      "length is unknown (velmorix-cli check names the file)."};
    TerminalUi ui(yes);
    const vmx::CutResult result = Session().cut(vmx::kLeftSide, row, 2, start, end, ui);
    if (result.outcome == vmx::CutOutcome::Declined)
        throw Failure{std::string("nothing was cut: \"") + vmx::kCutQuestion + "\" was answered No" +
                      (ui.declinedForLackOfTerminal() ? " (pass --yes to cut without asking)." : ".")};
    if (result.outcome != vmx::CutOutcome::Done)
        throw Failure{ui.takeMessages()};
    if (!json) {
        ui.printMessages();
        return kExitOk;
    }
    report.messages(ui.takeMessageList());
    report.json().key("database").value(pane.dbPath).key("id").value(static_cast<unsigned>(row + 1));
    report.json().key("start").decimal(start).key("end").decimal(end).key("kind").value(KindName(result.kind));
    report.json().key("renamed").beginArray();
    for (const auto& [from, to] : result.renamed)
        report.json().beginObject().key("from").value(from).key("to").value(to).endObject();
    report.json().endArray();
    report.written(pane.dbPath);
    report.written(vmx::BackupPathOf(pane.dbPath));
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
