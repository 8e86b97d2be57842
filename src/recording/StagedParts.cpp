#include "recording/StagedParts.h"

#include "common/PendingFile.h"
#include "recdb/DbCompanions.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vmx {

int StagePart(const std::string& folder, const std::string& partName)
{
    return RenameNoReplace(folder + partName, folder + StagedPartName(partName));
}

int UnstagePart(const std::string& folder, const std::string& partName)
{
    return RenameNoReplace(folder + StagedPartName(partName), folder + partName);
}

StagedSettlement SettleStagedParts(const std::string& folder, const FolderParts& folderParts)
{
    StagedSettlement result;
    std::vector<std::string> staged;
    if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (IsStagedPartName(entry->d_name))
                staged.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    std::sort(staged.begin(), staged.end());
    for (const std::string& name : staged) {
        const std::string path = folder + name;
        const std::string part = PartNameOfStaged(name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            result.problems.push_back(path + " is not a regular file; it was left alone.");
            continue;
        }
        if (!folderParts.named(part)) {
            if (::unlink(path.c_str()) == 0)
                result.removed.push_back(path);
            else
                result.problems.push_back("cannot remove " + path + ": " + std::strerror(errno) + ".");
            continue;
        }
        // A recording names the part: the file goes back to that name, unless another file has it.
        // The recording may spell the name in another letter case; the file takes the name the
        // staged file carries, which a FAT disk finds under either.
        if (const int error = UnstagePart(folder, part); error == 0)
            result.restored.push_back(folder + part);
        else if (error == EEXIST)
            result.problems.push_back(path + " was left alone: a recording names " + part +
                                      " and a file of that name is there already.");
        else
            result.problems.push_back("cannot rename " + path + " to " + part + ": " + std::strerror(error) + ".");
    }
    if (!result.restored.empty() || !result.removed.empty())
        (void)SyncFolder(folder);
    return result;
}

}  // namespace vmx
