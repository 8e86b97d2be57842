#pragma once

#include "recording/PaneRefresh.h"
#include "recording/ReceiverDisk.h"
#include "recording/UserInterface.h"

#include <string>
#include <vector>

namespace vmx {

inline constexpr const char* kOperationCompleteMessage = "Operation Complete";

struct MediaResult {
    int done = 0;
    std::vector<std::string> failures;  // one sentence per file that failed
    std::vector<std::string> paths;     // the files written (copies) or deleted, in order
    PaneRefresh refresh;
};

// True for a bare file name: not empty, no '/', not "." or "..".
bool IsPlainFileName(const std::string& name);

// Copies PC files into a receiver media folder under their own names, replacing files of the same
// name; a failed copy leaves the receiver's file as it was. Failures are shown in one message.
MediaResult CopyMediaToReceiver(const std::vector<std::string>& pcPaths, const std::string& receiverFolder,
                                UserInterface& ui);

// Copies files of a receiver media folder into a PC folder, then shows "Operation Complete"
// (or what failed).
MediaResult CopyMediaToPc(const std::vector<std::string>& names, const std::string& receiverFolder,
                          const std::string& pcFolder, UserInterface& ui);

// Deletes files of a receiver media folder, from the last name to the first.
MediaResult DeleteMediaFiles(const std::vector<std::string>& names, const std::string& receiverFolder);

}  // namespace vmx
