#include "cli/CliCommand.h"

#include "cli/RecordingArgs.h"
#include "cli/TerminalUi.h"

#include <unistd.h>

namespace vmxcli {

int runCopy(const Args& input)
{
    Args args = input;
    const bool yes = takeFlag(args, "--yes");
    if (args.size() < 3)
        throw UsageError{"name the source database, the target database and at least one recording id"};
    const std::string srcPath = args[0];
    const std::string dstPath = args[1];
    const vmx::LoadedPane& source = loadDatabase(srcPath, vmx::kLeftSide);
    std::vector<int> rows;
    for (std::size_t i = 2; i < args.size(); ++i)
        rows.push_back(rowOfId(source, args[i]));

    vmx::RecordingSession& s = session();
    if (const std::string refusal = s.refusalToLoad(vmx::kRightSide, dstPath); !refusal.empty())
        throw Failure{refusal};
    TerminalUi ui(yes);
    if (::access(dstPath.c_str(), F_OK) == 0) {
        loadDatabase(dstPath, vmx::kRightSide);
    } else {
        ui.newFileAnswer = dstPath;
        if (s.offerNewDb(vmx::kRightSide, ui).outcome != vmx::OfferResult::Outcome::Created) {
            const std::string why = ui.takeMessages();
            throw Failure{why.empty() ? dstPath + " does not exist and was not created" +
                                            (ui.declinedForLackOfTerminal() ? " (pass --yes to create it)." : ".")
                                      : why};
        }
        // "DB File Creatation complete!" belongs to the creation, not to how the copy ends.
        ui.printMessages();
    }

    const vmx::TransferResult result = s.transferRecordings(vmx::kLeftSide, rows, ui);
    if (!result.done()) {
        const std::string why = ui.takeMessages();
        throw Failure{why + (why.empty() ? "" : "\n") + std::to_string(result.copied) + " of " +
                      std::to_string(rows.size()) + " recordings copied."};
    }
    ui.printMessages();
    std::printf("%d recording%s copied into %s.\n", result.copied, result.copied == 1 ? "" : "s", dstPath.c_str());
    return kExitOk;
}

}  // namespace vmxcli
