#include "cli/CliSupport.h"

#include "cli/TerminalUi.h"

#include "recdb/AVMRec.h"

#include <algorithm>
#include <cstdio>

namespace vmx::cli {

vmx::RecordingSession& Session()
{
    static vmx::RecordingSession shared;
    if (!shared.ready()) {
        if (std::string error = shared.init(); !error.empty())
            throw Failure{error};
    }
    return shared;
}

const vmx::LoadedPane& LoadDatabase(const std::string& dbPath, int side, vmx::LoadIntent intent)
{
    TerminalUi ui(false);
    if (!Session().loadPane(side, dbPath, ui, intent).ok)
        throw Failure{ui.takeMessages()};
    for (const std::string& note : ui.takeMessageList())
        std::fprintf(stderr, "%s\n", note.c_str());
    return Session().pane(side);
}

int ListedRow(unsigned id, int side)
{
    const std::vector<vmx::RecordRow> rows = Session().rows(side);
    if (id < 1 || id > rows.size() || !rows[id - 1].readable)
        throw Failure{"there is no recording " + std::to_string(id) + " in " + Session().pane(side).dbPath + "."};
    return static_cast<int>(id) - 1;
}

unsigned ParseId(const std::string& text)
{
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw UsageError{"\"" + text + "\" is not a recording number."};
    const unsigned id = static_cast<unsigned>(std::stoul(text));
    if (id < 1 || id > kDBMMaxIds)
        throw UsageError{"recording numbers go from 1 to 200, not " + text + "."};
    return id;
}

std::string Positional(const Args& args, std::size_t index, const char* what)
{
    if (index >= args.size())
        throw UsageError{std::string("missing ") + what + "."};
    return args[index];
}

void ExpectCount(const Args& args, std::size_t n)
{
    if (args.size() > n)
        throw UsageError{"unexpected argument \"" + args[n] + "\"."};
}

bool TakeFlag(Args& args, const std::string& flag)
{
    const auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

void ReportUndo(const std::string& db, const std::string& keptIn, Json* json)
{
    if (keptIn.empty())
        return;
    const vmx::UndoSummary summary = vmx::SummarizeUndo(db);
    if (json) {
        json->key("undo").beginObject().key("entry").value(keptIn).key("holds").value(summary.bytes).endObject();
        return;
    }
    std::printf("To take it back: velmorix-cli undo %s (the undo folder holds %s; velmorix-cli undo --empty %s "
                "frees it).\n",
                db.c_str(), vmx::UndoBytesText(summary.bytes).c_str(), db.c_str());
}

PercentShown::~PercentShown()
{
    if (!m_quiet && m_shown >= 0)
        std::fprintf(stderr, "\n");
}

bool PercentShown::operator()(std::uint64_t done, std::uint64_t total)
{
    const int percent = total ? static_cast<int>(done * 100 / total) : 100;
    if (!m_quiet && percent != m_shown) {
        m_shown = percent;
        std::fprintf(stderr, "\r%s: %d%%", m_label, percent);
    }
    return true;
}

}  // namespace vmx::cli
