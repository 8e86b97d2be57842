#pragma once

#include "recording/ReceiverDisk.h"

#include <string>
#include <vector>

namespace vmx {

// The file dialogs of J and M.
inline constexpr const char* kJpegFileFilter = "JPEG file(*.jpg)|*.jpg|JPEG file(*.jepg)|*.jpeg ||";
inline constexpr const char* kMp3FileFilter = "mp3 file(*.mp3) | *.mp3||";

// A file chosen on the PC to go to the receiver: its name (after the last '/') and full path.
struct PcMediaFile {
    std::string name;
    std::string path;
};

// The PC files chosen with M (MP3) and J (JPEG) that AL will copy to the receiver; the left pane
// lists the list of the current mode.
class PendingMedia {
public:
    const std::vector<PcMediaFile>& list(MediaKind kind) const { return kind == MediaKind::Mp3 ? m_mp3 : m_jpeg; }
    // The entry at `row`, or null when there is none.
    const PcMediaFile* at(MediaKind kind, int row) const;
    // The chosen files, in the order given, replace the list.
    void replace(MediaKind kind, const std::vector<std::string>& paths);
    void clear(MediaKind kind) { listOf(kind).clear(); }
    // Files dropped on the list: those whose extension fits the kind (".mp3"; ".jpg" or ".jpeg"),
    // whatever the letters' case, join the end of the list in the order given; a path already
    // listed is not listed twice. Returns how many joined.
    int add(MediaKind kind, const std::vector<std::string>& paths);
    // Takes the entries at `rows` out of the list (rows in any order; duplicates and rows outside
    // the list are ignored). Only the list changes: no file is touched.
    void remove(MediaKind kind, const std::vector<int>& rows);

private:
    std::vector<PcMediaFile>& listOf(MediaKind kind) { return kind == MediaKind::Mp3 ? m_mp3 : m_jpeg; }

    std::vector<PcMediaFile> m_mp3;
    std::vector<PcMediaFile> m_jpeg;
};

}  // namespace vmx
