#include "CliCommand.h"
#include "RecordingArgs.h"
#include "TerminalUi.h"
#include "recording/Merge.h"

namespace vmxcli {

int runMerge(const Args& args)
{
    if (args.size() != 3)
        throw UsageError{"name the database, one recording id and the output folder"};
    if (args[2].empty())
        throw UsageError{"the output folder is an empty name; name the folder the merged file goes into"};
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
