#include "recording/DbFolderTidy.h"

#include "common/FilePaths.h"
#include "common/PendingFile.h"
#include "recdb/DbCheck.h"
#include "recdb/DbCompanions.h"
#include "recdb/DiskNaming.h"
#include "recording/StagedParts.h"
#include "recording/UndoStore.h"

#include <algorithm>
#include <dirent.h>

namespace vmx {

namespace {

std::string joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : "; ") + item;
    return text;
}

std::string dbOfPlan(const InterruptedCut& cut)
{
    // ".DZT000.DB.cut" beside DZT000.DB
    const std::string name = FileNameOfPath(cut.planPath);
    return FolderOfPath(cut.planPath) + name.substr(1, name.size() - 5);
}

std::string cutNote(const InterruptedCut& cut)
{
    const std::string which = cut.recording.empty() ? "A cut" : "A cut of the recording \"" + cut.recording + "\"";
    if (cut.finished)
        return which + " in " + dbOfPlan(cut) + " had been interrupted; it has now been finished" +
               (cut.steps.empty() ? "." : ": " + joined(cut.steps) + ".");
    if (cut.setAside)
        return "The plan of a cut " + cut.planPath + " did not agree with its database, so nothing of it was done: " +
               cut.problem + " It was set aside as " + SetAsidePath(cut.planPath) + ".";
    return which + " in " + dbOfPlan(cut) + " had been interrupted and could not be finished: " + cut.problem;
}

// Journals of the folder that nothing can confirm: plans of cuts whose database is not there,
// and the lists of part files that earlier versions kept beside a database (".DZT000.DB.parts"),
// which say nothing a database could confirm.
std::vector<std::string> unconfirmableJournals(const std::string& folder, const std::vector<std::string>& databases)
{
    std::vector<std::string> journals;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return journals;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const bool plan = name.ends_with(".cut");
        const bool parts = name.ends_with(".parts");
        if (name[0] != '.' || (!plan && !parts))
            continue;
        const std::string db = name.substr(1, name.size() - 1 - (plan ? 4 : 6));
        if (!FatNameKey(db).ends_with(".DB"))
            continue;
        bool known = false;
        for (const std::string& path : databases)
            known = known || path == folder + db;
        if (parts || !known)
            journals.push_back(folder + name);
    }
    ::closedir(dir);
    std::sort(journals.begin(), journals.end());
    return journals;
}

}  // namespace

std::vector<std::string> TidyReport::notes() const
{
    std::vector<std::string> out = settled();
    for (std::string& note : unsettled())
        out.push_back(std::move(note));
    return out;
}

std::vector<std::string> TidyReport::settled() const
{
    std::vector<std::string> out;
    for (const InterruptedCut& cut : cuts) {
        if (cut.finished)
            out.push_back(cutNote(cut));
    }
    if (!restored.empty())
        out.push_back("An interrupted copy or deletion was settled: " + joined(restored) + " took its name again.");
    out.insert(out.end(), finished.begin(), finished.end());
    return out;
}

std::vector<std::string> TidyReport::unsettled() const
{
    std::vector<std::string> out;
    for (const InterruptedCut& cut : cuts) {
        if (!cut.finished)
            out.push_back(cutNote(cut));
    }
    for (const std::string& problem : problems)
        out.push_back(problem);
    return out;
}

TidyReport TidyFolder(const std::string& folder)
{
    TidyReport report;
    FolderParts parts;
    if (std::string error = ReadFolderParts(folder, parts, &report.reads); !error.empty()) {
        report.problems.push_back(error + " What interrupted operations left in " + folder + " was left as it is.");
        report.reads.clear();
        return report;
    }
    const std::vector<std::string> databases = DatabasesOfFolder(folder);
    bool cutFinished = false;
    for (const std::string& db : databases) {
        InterruptedCut cut = FinishInterruptedCut(db, parts);
        if (!cut.found)
            continue;
        cutFinished = cutFinished || cut.finished;
        report.cuts.push_back(std::move(cut));
    }
    for (const std::string& journal : unconfirmableJournals(folder, databases)) {
        const bool plan = journal.ends_with(".cut");
        std::string note = std::string(plan ? "The plan of a cut " : "The list of part files ") + journal +
                           (plan ? " names a database that is not in the folder" : " cannot be confirmed by its database") +
                           ", so nothing of it was done";
        if (const std::string error = SetJournalAside(journal); error.empty())
            note += "; it was set aside as " + SetAsidePath(journal) + ".";
        else
            note += ": " + error;
        report.problems.push_back(note);
    }
    // A finished cut changed what its database names.
    if (cutFinished)
        report.reads.clear();
    if (cutFinished && !ReadFolderParts(folder, parts).empty())
        return report;
    // Part files an interrupted deletion was keeping for undo go into its entry, not away.
    if (const std::vector<std::string> adopted = AdoptStagedParts(folder, parts); !adopted.empty())
        report.finished.push_back("An interrupted deletion was finished; undo keeps its part files: " +
                                  joined(adopted) + ".");
    StagedSettlement staged = SettleStagedParts(folder, parts);
    report.restored = std::move(staged.restored);
    report.removed = std::move(staged.removed);
    for (std::string& problem : staged.problems)
        report.problems.push_back(std::move(problem));
    for (std::string& path : PendingFile::RemoveAbandoned(folder))
        report.removed.push_back(std::move(path));
    UndoSettlement undo = SettleUndoEntries(folder, parts);
    report.finished.insert(report.finished.end(), undo.notes.begin(), undo.notes.end());
    for (std::string& problem : undo.problems)
        report.problems.push_back(std::move(problem));
    if (!report.cuts.empty() || !report.finished.empty() || !report.removed.empty() || !report.restored.empty())
        report.reads.clear();
    return report;
}

}  // namespace vmx
