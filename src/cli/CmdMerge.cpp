#include "CliCommand.h"
#include "RecordingArgs.h"
#include "TerminalUi.h"
#include "recording/Merge.h"

namespace vmxcli {

int runMerge(const Args& args)
{
    if (args.size() != 3)
        throw UsageError{"name the database, one recording id and the output folder"};
    const vmx::LoadedPane pane = loadDatabase(args[0], 0);
    const int row = rowOfId(pane, args[1]);
    TerminalUi ui(false);
    std::string merged;
    const vmx::MergeOutcome outcome = vmx::MergeRecording(pane, row, args[2], ui, &merged);
    if (outcome != vmx::MergeOutcome::Done)
        throw Failure{ui.takeMessages()};
    ui.printMessages();
    std::printf("%s\n", merged.c_str());
    return kExitOk;
}

}  // namespace vmxcli
