#include "recdb/DbCompanions.h"

#include "common/FilePaths.h"
#include "recdb/AVMRec.h"
#include "recdb/DiskNaming.h"

#include <climits>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace vmx {

namespace {

constexpr std::string_view kStagedPrefix = ".velmorix~";

std::string companion(const std::string& dbPath, const char* suffix)
{
    return FolderOfPath(dbPath) + "." + FileNameOfPath(dbPath) + suffix;
}

}  // namespace

std::string FolderLockPath(const std::string& dbPath)
{
    return FolderOfPath(dbPath) + ".velmorix.lock";
}

std::string CutPlanPath(const std::string& dbPath)
{
    return companion(dbPath, ".cut");
}

std::string CutTransitName(const std::string& dbPath, int index)
{
    char number[8];
    std::snprintf(number, sizeof number, "%03d", index % 1000);
    return FileNameOfPath(companion(dbPath, ".cut-")) + number;
}

bool IsCutTransitNameOf(std::string_view name, const std::string& dbPath)
{
    const std::string prefix = FileNameOfPath(companion(dbPath, ".cut-"));
    if (name.size() != prefix.size() + 3 || !name.starts_with(prefix))
        return false;
    for (const char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::string UndoRootOf(const std::string& folder)
{
    return folder + ".velmorix-undo/";
}

std::string UndoFolderOf(const std::string& dbPath)
{
    return UndoRootOf(FolderOfPath(dbPath)) + FileNameOfPath(dbPath) + "/";
}

std::string UndoEntryName(const std::string& dbName, unsigned seq)
{
    char number[16];
    std::snprintf(number, sizeof number, "%06u", seq % 1000000);
    return ".velmorix-undo/" + dbName + "/" + number + "/";
}

bool IsUndoEntryName(std::string_view relative, const std::string& dbName, unsigned* seq)
{
    const std::string prefix = ".velmorix-undo/" + dbName + "/";
    if (dbName.empty() || dbName.find('/') != std::string::npos || dbName == "." || dbName == ".." ||
        relative.size() != prefix.size() + 7 || !relative.starts_with(prefix) || !relative.ends_with("/"))
        return false;
    unsigned number = 0;
    for (const char c : relative.substr(prefix.size(), 6)) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (seq)
        *seq = number;
    return true;
}

std::string StagedPartName(std::string_view partName)
{
    return std::string(kStagedPrefix) + std::string(partName);
}

bool IsStagedPartName(std::string_view name)
{
    if (name.size() != kStagedPrefix.size() + kAVMPartNameLen || !name.starts_with(kStagedPrefix))
        return false;
    const std::string part(name.substr(kStagedPrefix.size()));
    return vmx::IsSafePartName(part.c_str());
}

std::string PartNameOfStaged(std::string_view name)
{
    return std::string(name.substr(kStagedPrefix.size()));
}

std::string SetAsidePath(const std::string& journalPath)
{
    return journalPath + ".set-aside";
}

std::string DbPathRefusal(const std::string& dbPath)
{
    struct stat st {};
    if (::lstat(dbPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return {};
    char target[PATH_MAX] = {};
    const ssize_t length = ::readlink(dbPath.c_str(), target, sizeof target - 1);
    const std::string to = length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string("elsewhere");
    return "The database " + dbPath + " is a symbolic link to " + to +
           "; open the database file itself, so that nothing is written outside the folder that holds it.";
}

}  // namespace vmx
