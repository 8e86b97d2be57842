#include "FileHelpers.h"

#include "common/AsciiCase.h"
#include "common/FilePaths.h"
#include "common/RegularFile.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex g_folderMutex;
std::string g_programFolder;  // empty until first use or SetProgramFolder

std::string withSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::string executableFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "./";
    return withSlash(exe.parent_path().string());
}

}  // namespace

const std::string& GetProgramFolder()
{
    std::lock_guard lock(g_folderMutex);
    if (g_programFolder.empty())
        g_programFolder = executableFolder();
    return g_programFolder;
}

bool FileExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::int32_t FileSizeOf(const std::string& path)
{
    vmx::UniqueFd fd;
    std::uint64_t size = 0;
    if (!vmx::OpenRegularFile(path, O_RDONLY, fd, size).empty())
        return -1;
    // Only the low 32 bits are kept, as every caller stores sizes in 32 bits.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(size & 0xFFFFFFFF));
}

std::string JoinPath(const std::string& folder, const std::string& name, char separator)
{
    std::string tail = name;
    if (!tail.empty() && tail.front() == separator)
        tail.erase(0, 1);
    if (!folder.empty() && folder.back() == separator)
        return folder + tail;
    return folder + separator + tail;
}

namespace vmx {

void SetProgramFolder(std::string folder)
{
    std::lock_guard lock(g_folderMutex);
    g_programFolder = withSlash(std::move(folder));
}

std::string PathExtension(const std::string& path)
{
    const std::string name = vmx::FileNameOfPath(path);
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

int ReplaceChar(std::string& text, char from, char to)
{
    if (from == to)
        return 0;
    int count = 0;
    for (char& c : text) {
        if (c == from) {
            c = to;
            ++count;
        }
    }
    return count;
}

std::string LookupText(std::string_view key)
{
    static constexpr struct {
        std::string_view key;
        std::string_view text;
    } kTexts[] = {
        {"TXT_APP_NAME", "Velmorix"},
        {"TXT_OVERWRITE_ASK", "%s exists. Overwrite it?"},
        {"TXT_OPEN_DLG_TITLE", "Choose the video files to convert"},
        {"TXT_OPEN_DLG_VIDEO_FILE", "Video files"},
        {"TXT_OPEN_DLG_ALL_FILES", "All files"},
        {"TXT_UNICODE_PROBLEM",
         "The file's path holds a character that cannot be handed to the encoder (shown as \"?\"), so the file "
         "is not converted."},
    };
    for (const auto& entry : kTexts) {
        if (entry.key == key)
            return std::string(entry.text);
    }
    return std::string(key);
}

std::string LookupText(std::string_view key, const std::string& argument)
{
    std::string text = LookupText(key);
    const std::size_t at = text.find("%s");
    if (at == std::string::npos)
        return text + argument;
    return text.replace(at, 2, argument);
}

std::string ToLowerAscii(std::string text)
{
    return vmx::AsciiLower(text);
}

double LeadingDouble(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    if (i < text.size() && text[i] == '+')
        ++i;
    double value = 0.0;
    const auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
    return result.ec == std::errc() ? value : 0.0;
}

std::string FormatFixed3(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("0.000");
}

}  // namespace vmx
