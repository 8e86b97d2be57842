#include "UserFolders.h"

#include "FileHelpers.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vmx {

namespace {

std::string withSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

// The value of an environment variable when it names an absolute path, else empty.
std::string absoluteEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value == '/' ? std::string(value) : std::string();
}

// The XDG folder named by `variable`, else `fallback` below the home folder; + "velmorix/".
std::string xdgFolder(const char* variable, const char* fallback)
{
    std::string base = absoluteEnv(variable);
    if (base.empty()) {
        const std::string home = HomeFolder();
        if (home.empty())
            return {};
        base = withSlash(home) + fallback;
    }
    return withSlash(base) + "velmorix/";
}

bool isRegularFile(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Why another user could write into the folder or replace it, or empty when no one can: every
// folder on the way belongs to this user or to root and is closed to others, unless it is
// sticky (like /tmp, where others cannot rename what is not theirs).
std::string unsafeFolder(const std::string& folder)
{
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0)
        return std::strerror(errno);
    if (S_ISLNK(st.st_mode))
        return "it is a link, not a folder";
    if (!S_ISDIR(st.st_mode))
        return "it is not a folder";
    const uid_t me = geteuid();
    if (st.st_uid != me)
        return "it belongs to another user";
    if ((st.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0)
        return std::string("it is open to other users and cannot be closed: ") + std::strerror(errno);
    char resolved[PATH_MAX];
    if (!realpath(folder.c_str(), resolved))
        return std::strerror(errno);
    for (std::filesystem::path up = std::filesystem::path(resolved).parent_path();; up = up.parent_path()) {
        if (stat(up.c_str(), &st) != 0)
            return up.string() + ": " + std::strerror(errno);
        if (st.st_uid != me && st.st_uid != 0)
            return up.string() + " belongs to another user";
        if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0)
            return up.string() + " can be written by other users";
        if (up == up.parent_path())
            return {};
    }
}

}  // namespace

std::string HomeFolder()
{
    if (std::string home = absoluteEnv("HOME"); !home.empty())
        return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry {};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

std::string UserConfigFolder()
{
    return xdgFolder("XDG_CONFIG_HOME", ".config");
}

std::string UserDataFolder()
{
    return xdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string FindIniFile(const std::string& name)
{
    if (!name.empty() && name.front() == '/')
        return name;
    if (const std::string user = UserConfigFolder(); !user.empty() && isRegularFile(user + name))
        return user + name;
    const std::string beside = GetProgramFolder() + name;
    if (isRegularFile(beside))
        return beside;
    // ".../bin/" -> ".../share/velmorix/"
    const std::filesystem::path prefix = std::filesystem::path(GetProgramFolder()).parent_path().parent_path();
    const std::string shipped = (prefix / "share/velmorix" / name).string();
    return isRegularFile(shipped) ? shipped : beside;
}

std::string PrivateRuntimeFolder(std::string& folder)
{
    folder.clear();
    std::string path;
    struct stat st {};
    // A session's runtime folder is the user's own; one left in the environment by another
    // user (after su, say) is passed over.
    if (const std::string runtime = absoluteEnv("XDG_RUNTIME_DIR");
        !runtime.empty() && stat(runtime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid()) {
        path = withSlash(runtime) + "velmorix";
    } else {
        const std::string data = UserDataFolder();
        if (data.empty())
            return "There is no private folder for the job scripts: neither XDG_RUNTIME_DIR nor a home folder is set.";
        std::error_code ec;
        std::filesystem::create_directories(data, ec);
        if (ec)
            return "Cannot create the folder " + data + ": " + ec.message() + ".";
        path = data + "run";
    }
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return "Cannot create the private folder " + path + ": " + std::strerror(errno) + ".";
    if (const std::string problem = unsafeFolder(path); !problem.empty())
        return "The folder " + path + " is not safe for the job scripts: " + problem + ".";
    folder = path + "/";
    return {};
}

}  // namespace vmx
