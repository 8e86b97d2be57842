#pragma once

#include "recording/MediaFiles.h"
#include "recording/OperationGate.h"
#include "recording/ReceiverDisk.h"
#include "recording/UserInterface.h"

#include <functional>
#include <string>
#include <vector>

namespace vmx {

struct MediaListing {
    bool ok = false;  // the receiver disk was found (otherwise the user was told why not)
    std::string folder;
    std::vector<MediaFileEntry> files;
};

// The receiver's media files (the MP3 and JPEG modes): they touch no pane, but they run as
// operations of the session they belong to (RecordingSession::media()), through its gate, one at
// a time with its other operations, and find the receiver disk as the session does.
class ReceiverMedia {
public:
    // The receiver's root, or empty with `error` saying why there is none.
    using FindRoot = std::function<std::string(std::string& error)>;

    ReceiverMedia(const OperationGate& gate, FindRoot findRoot) : m_gate(gate), m_findRoot(std::move(findRoot)) {}
    ReceiverMedia(const ReceiverMedia&) = delete;
    ReceiverMedia& operator=(const ReceiverMedia&) = delete;

    // The receiver's media files of a kind, as the right pane lists them.
    MediaListing listMedia(MediaKind kind, UserInterface& ui);
    // Makes sure the receiver's folder of a kind exists (a mode switch creates a missing one);
    // false when it could not be created (the user was told why).
    bool ensureMediaFolder(MediaKind kind, UserInterface& ui);
    // AL in MP3/JPEG mode: copies PC files into the receiver's folder of the kind (created when
    // missing), replacing files of the same name.
    MediaResult putMedia(MediaKind kind, const std::vector<std::string>& pcPaths, UserInterface& ui);
    // AR in MP3/JPEG mode: copies receiver files of the kind into a PC folder.
    MediaResult getMedia(MediaKind kind, const std::vector<std::string>& names, const std::string& pcFolder,
                         UserInterface& ui);
    // The Delete key on the receiver's pane: deletes receiver files of the kind.
    MediaResult deleteMedia(MediaKind kind, const std::vector<std::string>& names, UserInterface& ui);

private:
    // The receiver's root, its folder of `kind` created first when `create`; empty after telling
    // the user why there is none (the sentence also goes into `failures`).
    std::string root(MediaKind kind, bool create, UserInterface& ui, std::vector<std::string>* failures) const;

    const OperationGate& m_gate;
    FindRoot m_findRoot;
};

}  // namespace vmx
