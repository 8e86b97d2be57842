#include "cli/CliCommand.h"

#include "cli/RecordingArgs.h"
#include "cli/TerminalUi.h"

namespace vmxcli {

int runCut(const Args& input)
{
    Args args = input;
    const bool yes = takeFlag(args, "--yes");
    if (args.size() != 4)
        throw UsageError{"name the database, one recording id and the start and end marks in seconds"};
    const vmx::LoadedPane& pane = loadDatabase(args[0], vmx::kLeftSide);
    const int row = rowOfId(pane, args[1]);
    const double start = parseSeconds(args[2], "START");
    const double end = parseSeconds(args[3], "END");
    if (!(start < end))
        throw UsageError{"START must lie before END"};
    if (!pane.timingAt(row).measured())
        throw Failure{"recording " + args[1] + " cannot be cut: its last part file is missing or unreadable, so its "
                      "length is unknown (velmorix-cli check names the file)."};
    TerminalUi ui(yes);
    const vmx::CutResult result = session().cut(vmx::kLeftSide, row, 2, start, end, ui);
    if (result.outcome == vmx::CutOutcome::Declined)
        throw Failure{std::string("nothing was cut: \"") + vmx::kCutQuestion + "\" was answered No" +
                      (ui.declinedForLackOfTerminal() ? " (pass --yes to cut without asking)." : ".")};
    if (result.outcome != vmx::CutOutcome::Done)
        throw Failure{ui.takeMessages()};
    ui.printMessages();
    return kExitOk;
}

}  // namespace vmxcli
