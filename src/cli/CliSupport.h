#pragma once

#include "cli/CliCommand.h"
#include "cli/Json.h"

#include "recording/RecordingSession.h"

#include <cstdint>
#include <string>

namespace vmx::cli {

// The recording session every command works through, set up on first use; throws Failure when
// the record store cannot be had.
vmx::RecordingSession& Session();

// Loads DB into `side` as a pane of the main view would (measuring every recording), or throws
// Failure with what went wrong. What the load tells besides (an interrupted cut it finished) goes
// to stderr. A command that changes the database or reads its part files loads it with
// LoadIntent::Change: it then holds the database's lock from this reading to its writing.
const vmx::LoadedPane& LoadDatabase(const std::string& dbPath, int side = vmx::kLeftSide,
                                    vmx::LoadIntent intent = vmx::LoadIntent::Look);

// The row of list id `id` in the loaded pane of `side`; throws Failure when the database lists no
// such recording.
int ListedRow(unsigned id, int side = vmx::kLeftSide);

// Parses a list id (1..200); throws UsageError otherwise.
unsigned ParseId(const std::string& text);

// The positional argument `index` (`what` names it when it is missing); throws UsageError.
std::string Positional(const Args& args, std::size_t index, const char* what);
// Throws UsageError unless there are exactly `n` arguments.
void ExpectCount(const Args& args, std::size_t n);

// Removes "--flag" from args; true when it was there.
bool TakeFlag(Args& args, const std::string& flag);

// After a deletion or a cut of DB that undo keeps (in the entry `keptIn`): the line saying how to
// take it back and what the undo folder holds, or the JSON key "undo" with both.
void ReportUndo(const std::string& db, const std::string& keptIn, Json* json);

// A long job's progress on the terminal: "\r<label>: N%" on stderr each time the percentage
// changes, nothing when `quiet` (--json); the line is ended when the object goes.
class PercentShown {
public:
    PercentShown(const char* label, bool quiet) : m_label(label), m_quiet(quiet) {}
    PercentShown(const PercentShown&) = delete;
    PercentShown& operator=(const PercentShown&) = delete;
    ~PercentShown();
    // Shows how far `done` of `total` is; true (the job goes on).
    bool operator()(std::uint64_t done, std::uint64_t total);

private:
    const char* m_label;
    bool m_quiet;
    int m_shown = -1;
};

}  // namespace vmx::cli
