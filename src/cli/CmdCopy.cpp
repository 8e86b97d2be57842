#include "cli/CliCommand.h"

#include "cli/ChangeReport.h"
#include "cli/RecordingArgs.h"
#include "cli/TerminalUi.h"

#include "recdb/DbWriter.h"

#include <algorithm>
#include <unistd.h>

namespace vmx::cli {

int RunCopy(const Args& input)
{
    Args args = input;
    const bool yes = TakeFlag(args, "--yes");
    const bool json = TakeFlag(args, "--json");
    ChangeReport report("copy");
    if (args.size() < 3)
        throw UsageError{"name the source database, the target database and at least one recording id"};
    const std::string srcPath = args[0];
    const std::string dstPath = args[1];
    const vmx::LoadedPane& source = LoadDatabase(srcPath, vmx::kLeftSide, vmx::LoadIntent::Change);
    std::vector<int> rows;
    for (std::size_t i = 2; i < args.size(); ++i)
        rows.push_back(RowOfId(source, args[i]));

    vmx::RecordingSession& s = Session();
    if (const std::string refusal = s.refusalToLoad(vmx::kRightSide, dstPath); !refusal.empty())
        throw Failure{refusal};
    TerminalUi ui(yes);
    const bool create = ::access(dstPath.c_str(), F_OK) != 0;
    if (!create) {
        LoadDatabase(dstPath, vmx::kRightSide, vmx::LoadIntent::Change);
    } else {
        ui.newFileAnswer = dstPath;
        if (s.offerNewDb(vmx::kRightSide, ui).outcome != vmx::OfferResult::Outcome::Created) {
            const std::string why = ui.takeMessages();
            throw Failure{why.empty() ? dstPath + " does not exist and was not created" +
                                            (ui.declinedForLackOfTerminal() ? " (pass --yes to create it)." : ".")
                                      : why};
        }
        // "DB File Creatation complete!" belongs to the creation, not to how the copy ends.
        if (json)
            report.messages(ui.takeMessageList());
        else
            ui.printMessages();
    }

    const vmx::TransferResult result = s.transferRecordings(vmx::kLeftSide, rows, ui);
    if (!result.done()) {
        const std::string why = ui.takeMessages();
        throw Failure{why + (why.empty() ? "" : "\n") + std::to_string(result.copied) + " of " +
                      std::to_string(rows.size()) + " recordings copied."};
    }
    if (!json) {
        ui.printMessages();
        std::printf("%d recording%s copied into %s.\n", result.copied, result.copied == 1 ? "" : "s", dstPath.c_str());
        return kExitOk;
    }
    for (const std::string& text : ui.takeMessageList()) {
        if (std::find(result.warnings.begin(), result.warnings.end(), text) == result.warnings.end())
            report.message(text);
    }
    for (const std::string& warning : result.warnings)
        report.warning(warning);
    report.json().key("source").value(srcPath).key("database").value(dstPath).key("created").boolean(create);
    report.json().key("copies").beginArray();
    for (const vmx::CopiedRecording& copy : result.copies) {
        report.json().beginObject()
            .key("source_id").value(static_cast<unsigned>(copy.sourceRow + 1))
            .key("id").value(copy.id)
            .key("parts").values(copy.partPaths)
            .endObject();
    }
    report.json().endArray();
    report.written(dstPath);
    if (result.copied > 0)
        report.written(vmx::BackupPathOf(dstPath));
    for (const vmx::CopiedRecording& copy : result.copies) {
        for (const std::string& part : copy.partPaths)
            report.written(part);
    }
    report.print();
    return kExitOk;
}

}  // namespace vmx::cli
