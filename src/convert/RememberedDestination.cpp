#include "convert/RememberedDestination.h"

#include "convert/Profile.h"
#include "convert/UserFolders.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace vmx {
namespace {

constexpr const char* kRememberedIni = "remembered.ini";

std::string RememberedIniPath()
{
    const std::string folder = UserConfigFolder();
    return folder.empty() ? std::string() : folder + kRememberedIni;
}

}  // namespace

std::string RememberedDestination()
{
    const std::string ini = RememberedIniPath();
    return ini.empty() ? std::string() : ReadProfileString("GENERAL", "DESTPATH", "", ini);
}

std::string RememberDestination(const std::string& folder)
{
    const std::string ini = RememberedIniPath();
    if (ini.empty())
        return "there is no home folder to keep the output folder in.";
    // One line per key: a folder name with a line break in it cannot be kept.
    if (folder.find_first_of("\r\n") != std::string::npos)
        return "the folder name " + folder + " holds a line break.";
    std::error_code error;
    std::filesystem::create_directories(UserConfigFolder(), error);
    if (error)
        return "cannot create " + UserConfigFolder() + ": " + error.message() + ".";
    // Written beside and then renamed over the old file, so that a crash leaves either.
    const std::string temporary = ini + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << "[GENERAL]\nDESTPATH=" << folder << "\n";
        out.flush();
        if (!out)
            return "cannot write " + temporary + ".";
    }
    if (std::rename(temporary.c_str(), ini.c_str()) != 0) {
        const int code = errno;
        std::remove(temporary.c_str());
        return "cannot rename " + temporary + " to " + ini + ": " + std::strerror(code) + ".";
    }
    return {};
}

}  // namespace vmx
