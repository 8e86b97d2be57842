#include "recording/CutSteps.h"

#include "common/FileFingerprint.h"
#include "common/FilePaths.h"
#include "common/PendingFile.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"
#include "recdb/DbCompanions.h"
#include "recdb/DbReader.h"
#include "recdb/DbWriter.h"
#include "recording/CutPlanClaims.h"
#include "recording/RecordingFiles.h"
#include "recording/UndoStore.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vmx {

namespace {

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string transitPath(const std::string& folder, const std::string& dbPath, std::size_t index)
{
    return folder + CutTransitName(dbPath, static_cast<int>(index));
}

CutStepFailure missing(std::string text)
{
    return {std::move(text), true};
}

CutStepFailure failed(std::string text)
{
    return {std::move(text), false};
}

// Counts the steps of a plan for its progress.
struct StepCount {
    const CutStepProgress& progress;
    std::size_t total = 0;
    std::size_t done = 0;
    void step()
    {
        ++done;
        if (progress)
            progress(done, total);
    }
};

// Phase 0: trims, removals, old names to transit names. Nothing here takes a name that the plan's
// old names could still mean, so every step may be done again.
CutStepFailure partsPhase(const CutJournal& plan, const std::string& dbPath, const std::string& folder, StepCount& count)
{
    for (const CutJournal::Trim& trim : plan.trims) {
        const std::string path = folder + trim.part;
        if (!exists(path)) {
            // Renames come after every trim: a part already on its way was trimmed before.
            bool moved = false;
            for (std::size_t k = 0; k < plan.renames.size(); ++k)
                moved = moved || (plan.renames[k].from == trim.part && exists(transitPath(folder, dbPath, k)));
            if (moved)
                continue;
            return missing("the part " + path + " is missing.");
        }
        UniqueFd fd;
        std::uint64_t size = 0;
        if (std::string error = OpenRegularFile(path, O_RDWR | O_NOFOLLOW, fd, size); !error.empty())
            return missing(error);
        if (const int error = FillPackets(fd.get(), size, trim.packets); error != 0)
            return failed("cannot rewrite " + path + ": " + std::strerror(error) + ".");
        count.step();
    }
    for (const std::string& name : plan.removed) {
        const std::string path = folder + name;
        if (!plan.keepFolder.empty()) {
            // Kept for undo: moved into the entry, which nothing else writes; one already there
            // was moved by an earlier run.
            const std::string kept = folder + plan.keepFolder + name;
            if (exists(path)) {
                if (const int error = RenameNoReplace(path, kept); error != 0)
                    return failed("cannot move " + path + " to " + kept + ": " + std::strerror(error) + ".");
            }
            count.step();
            continue;
        }
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            return failed(std::string(kDeleteFailedMessage) + "\ncannot delete " + path + ": " + std::strerror(errno) + ".");
        count.step();
    }
    if (!plan.keepFolder.empty() && !plan.removed.empty()) {
        if (const int error = SyncFolder(folder + plan.keepFolder); error != 0)
            return failed("cannot flush the folder " + folder + plan.keepFolder + ": " + std::strerror(error) + ".");
    }
    for (std::size_t k = 0; k < plan.renames.size(); ++k) {
        const std::string from = folder + plan.renames[k].from;
        const std::string transit = transitPath(folder, dbPath, k);
        if (exists(from)) {
            if (const int error = RenameNoReplace(from, transit); error != 0)
                return failed("cannot rename " + from + " to " + transit + ": " + std::strerror(error) + ".");
        } else if (!exists(transit)) {
            return missing("the part " + from + " is missing.");
        }
        count.step();
    }
    if (const int error = SyncFolder(folder); error != 0)
        return failed("cannot flush the folder " + folder + ": " + std::strerror(error) + ".");
    return {};
}

// Phase 1: transit names to new names.
CutStepFailure namesPhase(const CutJournal& plan, const std::string& dbPath, const std::string& folder, StepCount& count)
{
    for (std::size_t k = 0; k < plan.renames.size(); ++k) {
        const std::string transit = transitPath(folder, dbPath, k);
        const std::string to = folder + plan.renames[k].to;
        if (exists(transit)) {
            if (const int error = RenameNoReplace(transit, to); error != 0)
                return failed("cannot rename " + transit + " to " + to + ": " + std::strerror(error) + ".");
        } else if (!exists(to)) {
            return missing("the part " + to + " is missing.");
        }
        count.step();
    }
    if (const int error = SyncFolder(folder); error != 0)
        return failed("cannot flush the folder " + folder + ": " + std::strerror(error) + ".");
    return {};
}

// True when the database file begins with `content`.
bool beginsWith(const std::string& dbPath, const std::vector<std::uint8_t>& content)
{
    UniqueFd fd;
    std::uint64_t size = 0;
    if (!OpenRegularFile(dbPath, O_RDONLY, fd, size).empty() || size < content.size())
        return false;
    std::vector<std::uint8_t> bytes(content.size());
    std::size_t got = 0;
    return ReadAllAt(fd.get(), bytes.data(), bytes.size(), 0, got) == 0 && got == bytes.size() && bytes == content;
}

}  // namespace

CutStepFailure RunCutSteps(CutJournal& plan, const std::string& dbPath, const CutStepProgress& progress)
{
    const std::string folder = FolderOfPath(dbPath);
    StepCount count{progress};
    count.total = plan.trims.size() + plan.removed.size() + 2 * plan.renames.size();
    if (plan.phase == CutJournal::Phase::Parts) {
        if (CutStepFailure failure = partsPhase(plan, dbPath, folder, count); !failure.text.empty())
            return failure;
        if (!plan.renames.empty()) {
            plan.phase = CutJournal::Phase::Names;
            if (std::string error = WriteCutJournal(CutPlanPath(dbPath), plan); !error.empty())
                return failed(error);
        }
    }
    return namesPhase(plan, dbPath, folder, count);
}

void RemoveCutJournal(const std::string& dbPath)
{
    const std::string path = CutPlanPath(dbPath);
    if (::unlink(path.c_str()) == 0)
        (void)SyncFolder(FolderOfPath(path));
}

std::string SetJournalAside(const std::string& journalPath)
{
    if (::rename(journalPath.c_str(), SetAsidePath(journalPath).c_str()) != 0)
        return "cannot set " + journalPath + " aside: " + std::strerror(errno) + ".";
    (void)SyncFolder(FolderOfPath(journalPath));
    return {};
}

InterruptedCut FinishInterruptedCut(const std::string& dbPath, const FolderParts& folderParts)
{
    InterruptedCut result;
    const std::string planPath = CutPlanPath(dbPath);
    result.planPath = planPath;
    if (!exists(planPath))
        return result;
    result.found = true;
    const auto setAside = [&](const std::string& why) {
        result.problem = why;
        if (const std::string error = SetJournalAside(planPath); error.empty())
            result.setAside = true;
        else
            result.problem += " " + error;
        return result;
    };
    CutJournal plan;
    if (std::string error = ReadCutJournal(planPath, plan); !error.empty())
        return setAside(error);
    if (plan.dbName != FileNameOfPath(dbPath))
        return setAside("it belongs to the database " + plan.dbName + ".");
    // A part with several stretches in it is rewritten once as far as the user is concerned.
    for (const CutJournal::Trim& trim : plan.trims) {
        const std::string step = trim.part + " rewritten";
        if (std::find(result.steps.begin(), result.steps.end(), step) == result.steps.end())
            result.steps.push_back(step);
    }
    for (const std::string& name : plan.removed)
        result.steps.push_back(name + " removed");
    for (const CutJournal::Rename& rename : plan.renames)
        result.steps.push_back(rename.from + " renamed " + rename.to);
    FileFingerprint now;
    if (std::string error = TakeFingerprint(dbPath, kMaxDbContentSize, now); !error.empty()) {
        result.problem = error;
        return result;
    }
    const bool before = now.size == plan.sizeBefore && now.hash == plan.hashBefore;
    // A database that names the cut's parts already has every step behind it.
    const std::string folder = FolderOfPath(dbPath);
    if (beginsWith(dbPath, plan.content)) {
        if (!plan.keepFolder.empty())
            ConfirmUndoEntry(folder + plan.keepFolder);
        RemoveCutJournal(dbPath);
        result.steps.clear();
        result.finished = true;
        return result;
    }
    if (!before)
        return setAside("the database " + dbPath + " is not the one the cut began with.");
    const CutPlanCheck check = CheckCutPlanClaims(plan, dbPath, folderParts);
    if (!check.problem.empty())
        return setAside(check.problem);
    result.recording = RecordDisplayName(check.recording);
    if (CutStepFailure failure = RunCutSteps(plan, dbPath); !failure.text.empty()) {
        result.problem = failure.text;
        return result;
    }
    if (std::string error = WriteDbContent(dbPath, plan.content, BackupChoice::Replace); !error.empty()) {
        result.problem = error;
        return result;
    }
    if (!plan.keepFolder.empty())
        ConfirmUndoEntry(folder + plan.keepFolder);
    RemoveCutJournal(dbPath);
    result.finished = true;
    return result;
}

}  // namespace vmx
