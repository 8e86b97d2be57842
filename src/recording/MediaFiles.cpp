#include "recording/MediaFiles.h"

#include "common/KernelCopy.h"
#include "common/FilePaths.h"
#include "common/PendingFile.h"
#include "common/RegularFile.h"
#include "common/UniqueFd.h"
#include "recording/WaitScope.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vmx {

namespace {

// Where a copy goes: the receiver's own MP3 or IMAGE folder, or a folder of the user's.
enum class Destination { Receiver, UserFolder };

// Copies `from` to `to` through a temporary file beside `to`, renamed into place at the end.
std::string copyReplacing(const std::string& from, const std::string& to, Destination destination)
{
    // A link to a file of the user's collection is fine; a named pipe would block the open.
    UniqueFd in;
    std::uint64_t size = 0;
    if (std::string error = OpenRegularFile(from, O_RDONLY, in, size); !error.empty())
        return error;
    // What an interrupted copy into the receiver's folder left behind goes first. A folder of the
    // user's is left as it is: the copy removes there only its own temporary file.
    if (destination == Destination::Receiver)
        (void)PendingFile::RemoveAbandoned(FolderOfPath(to));
    PendingFile out(to);
    if (!out.ok())
        return "cannot write into the folder of " + to + ": " + std::strerror(errno) + ".";
    CopyFailure failure;
    if (!CopyBytes(in.get(), 0, out.fd(), 0, size, {}, failure))
        return "cannot copy " + from + " to " + to + ": " + failure.reason() + ".";
    std::string error;
    if (const int code = out.commit(); code != 0)
        error = "cannot write " + to + ": " + std::strerror(code) + ".";
    return error;
}

void report(UserInterface& ui, const MediaResult& result)
{
    std::string text;
    for (const std::string& failure : result.failures)
        text += (text.empty() ? "" : "\n") + failure;
    ui.showMessage(text);
}

}  // namespace

bool IsPlainFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

MediaResult CopyMediaToReceiver(const std::vector<std::string>& pcPaths, const std::string& receiverFolder,
                                UserInterface& ui)
{
    MediaResult result;
    {
        WaitScope wait(ui);
        for (const std::string& path : pcPaths) {
            const std::string target = receiverFolder + "/" + FileNameOfPath(path);
            const std::string error = copyReplacing(path, target, Destination::Receiver);
            if (error.empty()) {
                ++result.done;
                result.paths.push_back(target);
            } else
                result.failures.push_back(error);
        }
    }
    if (!result.failures.empty())
        report(ui, result);
    return result;
}

MediaResult CopyMediaToPc(const std::vector<std::string>& names, const std::string& receiverFolder,
                          const std::string& pcFolder, UserInterface& ui)
{
    MediaResult result;
    {
        WaitScope wait(ui);
        for (const std::string& name : names) {
            if (!IsPlainFileName(name)) {
                result.failures.push_back("\"" + name + "\" is not a file name of the receiver's folder.");
                continue;
            }
            const std::string target = pcFolder + "/" + name;
            const std::string error = copyReplacing(receiverFolder + "/" + name, target, Destination::UserFolder);
            if (error.empty()) {
                ++result.done;
                result.paths.push_back(target);
            } else
                result.failures.push_back(error);
        }
    }
    if (result.failures.empty())
        ui.showMessage(kOperationCompleteMessage);
    else
        report(ui, result);
    return result;
}

MediaResult DeleteMediaFiles(const std::vector<std::string>& names, const std::string& receiverFolder)
{
    MediaResult result;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        const std::string path = receiverFolder + "/" + *it;
        if (!IsPlainFileName(*it))
            result.failures.push_back("\"" + *it + "\" is not a file name of the receiver's folder.");
        else if (::unlink(path.c_str()) != 0)
            result.failures.push_back("cannot delete " + path + ": " + std::strerror(errno) + ".");
        else {
            ++result.done;
            result.paths.push_back(path);
        }
    }
    return result;
}

}  // namespace vmx
