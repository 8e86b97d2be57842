#include "viewmodel/UndoTexts.h"

#include "common/FilePaths.h"

namespace vmx {

std::string UndoMenuText(const std::string& undoLabel)
{
    return undoLabel.empty() ? "Undo" : "Undo " + undoLabel;
}

std::string RedoMenuText(const std::string& redoLabel)
{
    return redoLabel.empty() ? "Redo" : "Redo " + redoLabel;
}

std::string UndoHeldText(std::uint64_t bytes)
{
    return "Undo holds " + UndoBytesText(bytes);
}

std::string KeptUndoQuestion(const std::string& dbPath, const UndoSummary& summary)
{
    std::string held = std::to_string(summary.entries) + (summary.entries == 1 ? " operation" : " operations");
    if (summary.bytes > 0)
        held += " (" + UndoBytesText(summary.bytes) + ")";
    // Only undone operations left: the last is one Redo would do again.
    const std::string last = !summary.undoLabel.empty() ? summary.undoLabel
                             : !summary.redoLabel.empty() ? summary.redoLabel + " (undone)"
                                                          : "one that cannot be used";
    return "The undo folder of " + FileNameOfPath(dbPath) + " holds " + held + ": the last is " + last +
           ". Keep it for Undo?";
}

bool UndoLedger::observe(const std::string& dbPath, const UndoSummary& summary)
{
    const Held now{summary.entries, summary.bytes, summary.undoLabel, summary.redoLabel};
    const auto [it, first] = m_held.try_emplace(dbPath, now);
    if (!first && !(it->second == now)) {
        m_changed.insert(dbPath);
        it->second = now;
    }
    return first;
}

}  // namespace vmx
