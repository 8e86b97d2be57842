#include "recording/ReceiverDisk.h"

#include "common/AsciiCase.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cctype>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace vmx {

namespace {

// Mount points in the mounts file escape blanks, tabs, newlines and backslashes as \ooo.
std::string unescapeMountField(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::isdigit(static_cast<unsigned char>(field[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 3]))) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool isUnder(const std::string& path, const std::string& base)
{
    return path == base || (path.size() > base.size() && path.compare(0, base.size(), base) == 0 &&
                            path[base.size()] == '/');
}

// True when `folder` has a directory entry named exactly `name`.
bool hasExactFolder(const std::string& folder, const char* name)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return false;
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::string(entry->d_name) != name)
            continue;
        struct stat st {};
        found = ::stat((folder + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        break;
    }
    ::closedir(dir);
    return found;
}

}  // namespace

const char* MediaFolderName(MediaKind kind)
{
    return kind == MediaKind::Mp3 ? "MP3" : "IMAGE";
}

std::optional<MediaKind> MediaKindOfFileName(const std::string& name)
{
    if (EndsWithIgnoringAsciiCase(name, ".mp3"))
        return MediaKind::Mp3;
    if (EndsWithIgnoringAsciiCase(name, ".jpg") || EndsWithIgnoringAsciiCase(name, ".jpeg"))
        return MediaKind::Image;
    return std::nullopt;
}

std::string FindReceiverRoot(const ReceiverSearch& search)
{
    std::ifstream mounts(search.mountsFile);
    std::string line;
    std::string root;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string device;
        std::string mountPoint;
        if (!(fields >> device >> mountPoint))
            continue;
        mountPoint = unescapeMountField(mountPoint);
        const bool underBase = std::any_of(search.bases.begin(), search.bases.end(),
                                           [&](const std::string& base) { return isUnder(mountPoint, base); });
        if (underBase && (hasExactFolder(mountPoint, "RECORD") || hasExactFolder(mountPoint, "MP3") ||
                          hasExactFolder(mountPoint, "IMAGE")))
            root = mountPoint;
    }
    return root;
}

std::string ReceiverOfDatabase(const std::string& dbPath)
{
    const std::size_t nameStart = dbPath.rfind('/');
    if (nameStart == std::string::npos || nameStart == 0)
        return {};
    const std::string folder = dbPath.substr(0, nameStart);
    const std::size_t folderStart = folder.rfind('/');
    const std::string folderName = folderStart == std::string::npos ? folder : folder.substr(folderStart + 1);
    if (!EqualsIgnoringAsciiCase(folderName, "RECORD"))
        return {};
    std::string root = folderStart == std::string::npos ? std::string(".") : folder.substr(0, folderStart);
    if (root.empty())
        root = "/";
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    return root;
}

std::string ResolveReceiverRoot(const ReceiverClues& clues, std::string& error, const ReceiverSearch& search)
{
    error.clear();
    if (!clues.overrideRoot.empty()) {
        struct stat st {};
        if (::stat(clues.overrideRoot.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            error = "the receiver folder " + clues.overrideRoot + " does not exist.";
            return {};
        }
        return clues.overrideRoot;
    }
    for (const std::string& db : clues.databases) {
        if (std::string root = ReceiverOfDatabase(db); !root.empty())
            return root;
    }
    if (std::string root = FindReceiverRoot(search); !root.empty())
        return root;
    struct stat st {};
    if (!clues.remembered.empty() && ::stat(clues.remembered.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return clues.remembered;
    error = "no receiver disk is mounted (no volume under /media, /run/media or /mnt holds RECORD, MP3 "
            "or IMAGE); name its folder with --receiver DIR.";
    return {};
}

std::string ResolveReceiverRoot(const std::string& overrideRoot, std::string& error, const ReceiverSearch& search)
{
    return ResolveReceiverRoot(ReceiverClues{overrideRoot, {}, {}}, error, search);
}

bool HasReceiverFolder(const std::string& root, MediaKind kind)
{
    return hasExactFolder(root, MediaFolderName(kind));
}

std::string ReceiverMediaFolder(const std::string& root, MediaKind kind)
{
    return root + "/" + MediaFolderName(kind);
}

std::string EnsureReceiverFolder(const std::string& root, MediaKind kind)
{
    const std::string folder = ReceiverMediaFolder(root, kind);
    if (HasReceiverFolder(root, kind) || ::mkdir(folder.c_str(), 0755) == 0)
        return {};
    const int error = errno;
    // On the receiver's FAT disk a folder "mp3" is the folder "MP3"; a file of that name is not.
    struct stat st {};
    if (error == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return {};
    if (error == EEXIST)
        return folder + " is a file, not a folder, so nothing can be put into it.";
    return "cannot create " + folder + ": " + std::strerror(error) + ".";
}

std::vector<MediaFileEntry> ListReceiverFiles(const std::string& root, MediaKind kind)
{
    const std::string folder = ReceiverMediaFolder(root, kind);
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && MediaKindOfFileName(name) == kind)
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::vector<MediaFileEntry> files;
    int n = 0;
    for (const std::string& name : names) {
        ++n;
        struct stat st {};
        if (::stat((folder + "/" + name).c_str(), &st) != 0 || S_ISDIR(st.st_mode))
            continue;
        const auto low = static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.st_size) & 0xFFFFFFFFu);
        files.push_back(MediaFileEntry{n, name, low / 1024});
    }
    return files;
}

}  // namespace vmx
