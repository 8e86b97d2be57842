#include "recdb/DbCompanions.h"

#include "common/FilePaths.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace vmx {

namespace {

std::string companion(const std::string& dbPath, const char* suffix)
{
    const std::string file = DbFileBehind(dbPath);
    return FolderOfPath(file) + "." + FileNameOfPath(file) + suffix;
}

}  // namespace

std::string DbFileBehind(const std::string& dbPath)
{
    struct stat st {};
    if (::lstat(dbPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return dbPath;
    char* real = ::realpath(dbPath.c_str(), nullptr);
    if (!real)
        return dbPath;
    std::string resolved = real;
    std::free(real);
    return resolved;
}

std::string DbLockPath(const std::string& dbPath)
{
    return companion(dbPath, ".lock");
}

std::string CutPlanPath(const std::string& dbPath)
{
    return companion(dbPath, ".cut");
}

std::string PartsJournalPath(const std::string& dbPath)
{
    return companion(dbPath, ".parts");
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

}  // namespace vmx
