#include "viewmodel/PendingMedia.h"

#include "common/AsciiCase.h"

#include <algorithm>
#include <functional>

namespace vmx {

const PcMediaFile* PendingMedia::at(MediaKind kind, int row) const
{
    const std::vector<PcMediaFile>& files = list(kind);
    if (row < 0 || static_cast<std::size_t>(row) >= files.size())
        return nullptr;
    return &files[static_cast<std::size_t>(row)];
}

namespace {

bool FitsKind(MediaKind kind, const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return false;
    const std::string extension = AsciiLower(name.substr(dot));
    return kind == MediaKind::Mp3 ? extension == ".mp3" : extension == ".jpg" || extension == ".jpeg";
}

}  // namespace

int PendingMedia::add(MediaKind kind, const std::vector<std::string>& paths)
{
    std::vector<PcMediaFile>& files = listOf(kind);
    int added = 0;
    for (const std::string& path : paths) {
        const bool listed =
            std::any_of(files.begin(), files.end(), [&path](const PcMediaFile& file) { return file.path == path; });
        if (listed || !FitsKind(kind, path))
            continue;
        const std::size_t slash = path.find_last_of('/');
        files.push_back({slash == std::string::npos ? path : path.substr(slash + 1), path});
        ++added;
    }
    return added;
}

void PendingMedia::replace(MediaKind kind, const std::vector<std::string>& paths)
{
    std::vector<PcMediaFile>& files = listOf(kind);
    files.clear();
    for (const std::string& path : paths) {
        const std::size_t slash = path.find_last_of('/');
        files.push_back({slash == std::string::npos ? path : path.substr(slash + 1), path});
    }
}

void PendingMedia::remove(MediaKind kind, const std::vector<int>& rows)
{
    std::vector<PcMediaFile>& files = listOf(kind);
    std::vector<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    // From the highest row down, so the rows still to go keep their places.
    for (const int row : sorted) {
        if (row >= 0 && static_cast<std::size_t>(row) < files.size())
            files.erase(files.begin() + row);
    }
}

}  // namespace vmx
