#include "convert/RememberedDestination.h"

#include "convert/Profile.h"
#include "convert/UserFolders.h"
#include "common/AsciiCase.h"

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

// The value of a key of the remembered folders.
std::string remembered(const char* key)
{
    const std::string ini = RememberedIniPath();
    return ini.empty() ? std::string() : ReadProfileString("GENERAL", key, "", ini);
}

// Keeps `folder` (or an answer) under `key`, keeping the other keys' lines as they are.
std::string remember(const char* key, const std::string& folder)
{
    const std::string ini = RememberedIniPath();
    if (ini.empty())
        return "there is no home folder to keep the folder in.";
    // One line per key: a folder name with a line break in it cannot be kept.
    if (folder.find_first_of("\r\n") != std::string::npos)
        return "the folder name " + folder + " holds a line break.";
    std::error_code error;
    std::filesystem::create_directories(UserConfigFolder(), error);
    if (error)
        return "cannot create " + UserConfigFolder() + ": " + error.message() + ".";
    std::string kept;
    {
        std::ifstream in(ini, std::ios::binary);
        std::string line;
        const std::string prefix = std::string(key) + "=";
        while (std::getline(in, line)) {
            if (line != "[GENERAL]" && !EqualsIgnoringAsciiCase(line.substr(0, prefix.size()), prefix))
                kept += line + "\n";
        }
    }
    // Written beside and then renamed over the old file, so that a crash leaves either.
    const std::string temporary = ini + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << "[GENERAL]\n" << key << "=" << folder << "\n" << kept;
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

}  // namespace

std::string RememberedDestination()
{
    return remembered("DESTPATH");
}

std::string RememberDestination(const std::string& folder)
{
    return remember("DESTPATH", folder);
}

std::string RememberedReceiver()
{
    return remembered("RECEIVER");
}

std::string RememberReceiver(const std::string& folder)
{
    return remember("RECEIVER", folder);
}

std::optional<bool> RememberedKeepUndo()
{
    const std::string answer = remembered("KEEPUNDO");
    if (EqualsIgnoringAsciiCase(answer, "yes"))
        return true;
    if (EqualsIgnoringAsciiCase(answer, "no"))
        return false;
    return std::nullopt;
}

std::string RememberKeepUndo(bool keep)
{
    return remember("KEEPUNDO", keep ? "yes" : "no");
}

}  // namespace vmx
