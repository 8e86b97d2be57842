#include "recording/CutSteps.h"

#include "common/FileFingerprint.h"
#include "common/FilePaths.h"
#include "common/PendingFile.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"
#include "recdb/DbCompanions.h"
#include "recdb/DbReader.h"
#include "recdb/DbWriter.h"
#include "recording/RecordingFiles.h"

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

// Phase 0: trims, removals, old names to transit names. Nothing here takes a name that the plan's
// old names could still mean, so every step may be done again.
std::string partsPhase(const CutJournal& plan, const std::string& dbPath, const std::string& folder)
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
            return "the part " + path + " is missing.";
        }
        UniqueFd fd;
        std::uint64_t size = 0;
        if (std::string error = OpenRegularFile(path, O_RDWR | O_NOFOLLOW, fd, size); !error.empty())
            return error;
        if (const int error = FillPackets(fd.get(), size, trim.packets); error != 0)
            return "cannot rewrite " + path + ": " + std::strerror(error) + ".";
    }
    for (const std::string& name : plan.removed) {
        const std::string path = folder + name;
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            return std::string(kDeleteFailedMessage) + "\ncannot delete " + path + ": " + std::strerror(errno) + ".";
    }
    for (std::size_t k = 0; k < plan.renames.size(); ++k) {
        const std::string from = folder + plan.renames[k].from;
        const std::string transit = transitPath(folder, dbPath, k);
        if (exists(from)) {
            if (const int error = RenameNoReplace(from, transit); error != 0)
                return "cannot rename " + from + " to " + transit + ": " + std::strerror(error) + ".";
        } else if (!exists(transit)) {
            return "the part " + from + " is missing.";
        }
    }
    if (const int error = SyncFolder(folder); error != 0)
        return "cannot flush the folder " + folder + ": " + std::strerror(error) + ".";
    return {};
}

// Phase 1: transit names to new names.
std::string namesPhase(const CutJournal& plan, const std::string& dbPath, const std::string& folder)
{
    for (std::size_t k = 0; k < plan.renames.size(); ++k) {
        const std::string transit = transitPath(folder, dbPath, k);
        const std::string to = folder + plan.renames[k].to;
        if (exists(transit)) {
            if (const int error = RenameNoReplace(transit, to); error != 0)
                return "cannot rename " + transit + " to " + to + ": " + std::strerror(error) + ".";
        } else if (!exists(to)) {
            return "the part " + to + " is missing.";
        }
    }
    if (const int error = SyncFolder(folder); error != 0)
        return "cannot flush the folder " + folder + ": " + std::strerror(error) + ".";
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

std::string RunCutSteps(CutJournal& plan, const std::string& dbPath)
{
    const std::string folder = FolderOfPath(dbPath);
    if (plan.phase == CutJournal::Phase::Parts) {
        if (std::string error = partsPhase(plan, dbPath, folder); !error.empty())
            return error;
        if (!plan.renames.empty()) {
            plan.phase = CutJournal::Phase::Names;
            if (std::string error = WriteCutJournal(CutPlanPath(dbPath), plan); !error.empty())
                return error;
        }
    }
    return namesPhase(plan, dbPath, folder);
}

void RemoveCutJournal(const std::string& dbPath)
{
    const std::string path = CutPlanPath(dbPath);
    if (::unlink(path.c_str()) == 0)
        (void)SyncFolder(FolderOfPath(path));
}

InterruptedCut FinishInterruptedCut(const std::string& dbPath)
{
    InterruptedCut result;
    const std::string planPath = CutPlanPath(dbPath);
    if (!exists(planPath))
        return result;
    result.found = true;
    CutJournal plan;
    if (std::string error = ReadCutJournal(planPath, plan); !error.empty()) {
        result.problem = error;
        return result;
    }
    if (plan.dbName != FileNameOfPath(DbFileBehind(dbPath))) {
        result.problem = "the cut's plan " + planPath + " belongs to the database " + plan.dbName + ".";
        return result;
    }
    FileFingerprint now;
    if (std::string error = TakeFingerprint(dbPath, kMaxDbContentSize, now); !error.empty()) {
        result.problem = error;
        return result;
    }
    const bool before = now.size == plan.sizeBefore && now.hash == plan.hashBefore;
    const bool after = beginsWith(dbPath, plan.content);
    if (!before && !after) {
        result.problem = "the database " + dbPath + " was changed after the cut began, so the cut's plan " + planPath +
                         " was left as it is.";
        return result;
    }
    // A database that names the cut's parts already has every step behind it.
    if (before) {
        if (std::string error = RunCutSteps(plan, dbPath); !error.empty()) {
            result.problem = error;
            return result;
        }
        if (!after) {
            if (std::string error = WriteDbContent(dbPath, plan.content, BackupChoice::Replace); !error.empty()) {
                result.problem = error;
                return result;
            }
        }
    }
    RemoveCutJournal(dbPath);
    result.finished = true;
    return result;
}

}  // namespace vmx
