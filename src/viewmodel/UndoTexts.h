#pragma once

#include "recording/UndoStore.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vmx {

// What the window says about the undo folders of the loaded databases: the panes' menu entries,
// the "Undo holds" line and the two questions asked about what a folder keeps.

// The question asked once when the program ends with something kept that this run put there.
inline constexpr const char* kKeepUndoAtExitQuestion = "Keep what undo holds until the next start?";

// "Undo delete of 'Sports HD'", or plain "Undo" when nothing can be taken back.
std::string UndoMenuText(const std::string& undoLabel);
// "Redo cut of 'Sports HD'", or plain "Redo" when nothing can be done again.
std::string RedoMenuText(const std::string& redoLabel);
// "Undo holds 148.6 MiB".
std::string UndoHeldText(std::uint64_t bytes);
// The question asked when a database is loaded whose undo folder holds entries from an earlier
// run: "The undo folder of DZT000.DB holds 2 operations (148.6 MiB): the last is delete of
// 'Sports HD'. Keep it for Undo?"
std::string KeptUndoQuestion(const std::string& dbPath, const UndoSummary& summary);

// What the undo folders of the databases loaded in this run held when each was first seen, and
// which of them an operation of this run changed since: those are the folders the question at
// the end of the program is about.
class UndoLedger {
public:
    // Records what the undo folder of `dbPath` holds now. True the first time the database is
    // seen in this run (what it holds then is an earlier run's).
    bool observe(const std::string& dbPath, const UndoSummary& summary);
    bool changedThisRun(const std::string& dbPath) const { return m_changed.count(dbPath) > 0; }

private:
    struct Held {
        int entries = 0;
        std::uint64_t bytes = 0;
        std::string undoLabel;
        std::string redoLabel;
        bool operator==(const Held&) const = default;
    };
    std::map<std::string, Held> m_held;
    std::set<std::string> m_changed;
};

}  // namespace vmx
