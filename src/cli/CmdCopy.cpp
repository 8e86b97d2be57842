#include "CliCommand.h"
#include "RecordingArgs.h"
#include "TerminalUi.h"
#include "common/FilePaths.h"
#include "recording/RecordingTransfer.h"

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
    vmx::LoadedPane source = loadDatabase(srcPath, 0);
    std::vector<int> rows;
    for (std::size_t i = 2; i < args.size(); ++i)
        rows.push_back(rowOfId(source, args[i]));

    const std::string srcName = vmx::FileNameOfPath(srcPath);
    const std::string dstName = vmx::FileNameOfPath(dstPath);
    if ((srcName.starts_with("DZT") && !dstName.starts_with("DZT")) ||
        (srcName.starts_with("DZR") && !dstName.starts_with("DZR")))
        throw Failure{"Can't load deffertent DB file"};

    TerminalUi ui(yes);
    vmx::LoadedPane target;
    target.side = 1;
    if (::access(dstPath.c_str(), F_OK) == 0) {
        if (vmx::IsSameFile(srcPath, dstPath))
            throw Failure{"Your loaded file is same!!"};
        target = loadDatabase(dstPath, 1);
    } else {
        ui.newFileAnswer = dstPath;
        const vmx::OfferOutcome offer = vmx::OfferNewDb(target, srcName, dstName, ui);
        if (offer != vmx::OfferOutcome::Created) {
            const std::string why = ui.takeMessages();
            throw Failure{why.empty() ? dstPath + " does not exist and was not created" +
                                            (ui.declinedForLackOfTerminal() ? " (pass --yes to create it)." : ".")
                                      : why};
        }
        // "DB File Creatation complete!" belongs to the creation, not to how the copy ends.
        ui.printMessages();
    }

    const vmx::TransferResult result = vmx::TransferRecordings(source, target, rows, ui);
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
