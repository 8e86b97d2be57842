#include "FileHelpers.h"

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

// The byte index where the file name of `path` begins.
std::size_t nameStart(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

const std::string& GetProgramFolder()
{
    std::lock_guard lock(g_folderMutex);
    if (g_programFolder.empty())
        g_programFolder = executableFolder();
    return g_programFolder;
}

void SetProgramFolder(std::string folder)
{
    std::lock_guard lock(g_folderMutex);
    g_programFolder = withSlash(std::move(folder));
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
    struct stat st {};
    if (!vmx::OpenRegularFile(path, fd).empty() || fstat(fd.get(), &st) != 0)
        return -1;
    // Only the low 32 bits are kept, as every caller stores sizes in 32 bits.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(st.st_size & 0xFFFFFFFF));
}

std::string PathFileName(const std::string& path)
{
    return path.substr(nameStart(path));
}

std::string PathExtension(const std::string& path)
{
    const std::size_t start = nameStart(path);
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < start)
        return {};
    return path.substr(dot);
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
    return std::string(key);
}

std::string ToLowerAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
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

namespace vmx {

namespace {

std::string notRegular(mode_t mode)
{
    return S_ISDIR(mode) ? "it is a folder, not a file" : "it is not a regular file";
}

}  // namespace

std::string OpenRegularFile(const std::string& path, UniqueFd& fd)
{
    fd.reset();
    struct stat st {};
    // Looked at before the open, so that opening a device can have no effect at all.
    if (path.empty() || stat(path.c_str(), &st) != 0)
        return std::strerror(path.empty() ? ENOENT : errno);
    if (!S_ISREG(st.st_mode))
        return notRegular(st.st_mode);
    // Non-blocking, in case the name was replaced by a FIFO meanwhile; checked again once open.
    UniqueFd opened(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!opened.ok())
        return std::strerror(errno);
    if (fstat(opened.get(), &st) != 0)
        return std::strerror(errno);
    if (!S_ISREG(st.st_mode))
        return notRegular(st.st_mode);
    const int flags = fcntl(opened.get(), F_GETFL);
    if (flags < 0 || fcntl(opened.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return std::strerror(errno);
    fd = std::move(opened);
    return {};
}

std::string ReadRegularFile(const std::string& path, std::string& content)
{
    content.clear();
    UniqueFd fd;
    if (std::string reason = OpenRegularFile(path, fd); !reason.empty())
        return reason;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::strerror(errno);
        if (n == 0)
            return {};
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace vmx
