#include "cli/CliCommand.h"

#include "cli/ChangeReport.h"
#include "cli/RecordingArgs.h"
#include "cli/TerminalUi.h"

namespace vmx::cli {

int RunMerge(const Args& input)
{
    Args args = input;
    const bool json = TakeFlag(args, "--json");
    ChangeReport report("merge");
    if (args.size() != 3)
        throw UsageError{"name the database, one recording id and the output folder"};
    if (args[2].empty())
        throw UsageError{"the output folder is an empty name; name the folder the merged file goes into"};
    const vmx::LoadedPane& pane = LoadDatabase(args[0], vmx::kLeftSide, vmx::LoadIntent::Change);
    const int row = RowOfId(pane, args[1]);
    TerminalUi ui(false);
    const vmx::MergeResult result = Session().merge(vmx::kLeftSide, row, args[2], ui);
    if (result.outcome != vmx::MergeOutcome::Done)
        throw Failure{ui.takeMessages()};
    if (!json) {
        ui.printMessages();
        std::printf("%s\n", result.path.c_str());
        return kExitOk;
    }
    report.messages(ui.takeMessageList());
    report.json().key("database").value(pane.dbPath).key("id").value(static_cast<unsigned>(row + 1));
    report.json().key("bytes").value(result.bytes);
    report.written(result.path);
    report.print();
    return kExitOk;
}

}  // namespace vmx::cli
