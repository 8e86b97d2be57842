// undo and redo: taking back the last deletion or cut of a database, doing it again, and emptying
// what undo keeps.

#include "cli/ChangeReport.h"
#include "cli/CliSupport.h"
#include "cli/TerminalUi.h"

#include "recdb/DbWriter.h"
#include "recording/UndoStore.h"

#include <cstdio>

namespace vmx::cli {

namespace {

int runUndoOrRedo(const Args& argsIn, bool redo)
{
    Args args = argsIn;
    const bool json = TakeFlag(args, "--json");
    const bool empty = !redo && TakeFlag(args, "--empty");
    const bool list = !redo && TakeFlag(args, "--list");
    ChangeReport report(redo ? "redo" : "undo");
    const std::string db = Positional(args, 0, "the database file");
    ExpectCount(args, 1);
    if (list) {
        LoadDatabase(db, vmx::kLeftSide, vmx::LoadIntent::Look);
        const vmx::UndoSummary summary = Session().undoSummary(vmx::kLeftSide);
        if (json) {
            report.json().key("database").value(db).key("undo").value(summary.undoLabel);
            report.json().key("redo").value(summary.redoLabel).key("holds").value(summary.bytes);
            report.messages(summary.problems);
            report.print();
            return kExitOk;
        }
        std::printf("Undo: %s\nRedo: %s\nThe undo folder holds %s.\n",
                    summary.undoLabel.empty() ? "nothing" : summary.undoLabel.c_str(),
                    summary.redoLabel.empty() ? "nothing" : summary.redoLabel.c_str(),
                    vmx::UndoBytesText(summary.bytes).c_str());
        for (const std::string& problem : summary.problems)
            std::printf("%s\n", problem.c_str());
        return kExitOk;
    }
    LoadDatabase(db, vmx::kLeftSide, vmx::LoadIntent::Change);
    TerminalUi ui(true);
    const vmx::UndoResult result = empty ? Session().emptyUndo(vmx::kLeftSide, ui)
                                 : redo  ? Session().redo(vmx::kLeftSide, ui)
                                         : Session().undo(vmx::kLeftSide, ui);
    if (!result.ok)
        throw Failure{ui.takeMessages()};
    const std::uint64_t holds = vmx::SummarizeUndo(db).bytes;
    if (!json) {
        ui.printMessages();
        if (empty)
            std::printf("Emptied the undo folder of %s: %s freed.\n", db.c_str(), vmx::UndoBytesText(result.freed).c_str());
        else
            std::printf("%s the %s in %s. The undo folder holds %s.\n", redo ? "Did again" : "Took back",
                        result.label.c_str(), db.c_str(), vmx::UndoBytesText(holds).c_str());
        return kExitOk;
    }
    report.messages(ui.takeMessageList());
    report.json().key("database").value(db).key("operation").value(result.label);
    report.json().key("freed").value(result.freed).key("holds").value(holds);
    if (!empty) {
        report.written(db);
        report.written(vmx::BackupPathOf(db));
    }
    report.print();
    return kExitOk;
}

}  // namespace

int RunUndo(const Args& args)
{
    return runUndoOrRedo(args, false);
}

int RunRedo(const Args& args)
{
    return runUndoOrRedo(args, true);
}

}  // namespace vmx::cli
