#pragma once

#include "common/UniqueFd.h"

#include <string>
#include <vector>

namespace vmx {

// The folder of one encoding run: a uniquely named folder inside the private runtime folder
// that holds the run's job scripts ("convert.bat", "convert2.bat") and converted subtitle
// ("temp.smi"), so two runs at once never share one of them. It is removed with its files when
// the object goes.
//
// A run that is killed cannot remove anything, so each folder also says who owns it and what
// its run made elsewhere:
//  - "owner" holds the owning process's id and carries an exclusive advisory lock (flock) for as
//    long as the object lives. The kernel drops the lock when the last descriptor of that open
//    file goes, however the process ends. The encoder a run starts keeps a copy of the descriptor
//    (see lockFd), so the lock also lasts as long as that encoder lives.
//  - "partials" names each partial output file the run created beside its output (device, inode
//    and path), in the order made.
// RemoveDeadRuns, called before a new run starts, removes the folders whose lock it can take and
// the partial files they name, provided each is still the very file that was made (same device
// and inode, a regular file under a partial output's name). It never lists the destination
// folders: a file there is removed only when a run's record says that run made it.
class RunFolder {
public:
    RunFolder() = default;
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // Makes the folder unless it exists, and takes its lock; returns why it cannot, empty on
    // success.
    [[nodiscard]] std::string create();
    // The folder, ending in '/'; empty until it was made.
    const std::string& path() const { return m_path; }
    // The descriptor carrying the folder's lock (-1 until made). A child that inherits it keeps
    // the folder from being taken for a dead run's while it lives.
    int lockFd() const { return m_lock.get(); }

private:
    std::string m_path;
    UniqueFd m_lock;
};

// Adds the partial output file at `path`, open as `fd`, to the record of the run folder
// `runFolder` (ending in '/'). Returns why it cannot, empty on success.
[[nodiscard]] std::string RecordPartialOutput(const std::string& runFolder, const std::string& path, int fd);

// Removes the run folders in the private runtime folder whose run has ended without removing
// them (its program was killed), with the partial output files they name; the folders of live
// runs, of this process or another, are left alone. A run whose program has died but whose
// encoder still holds the lock (it is being ended by the kernel, see ProcessRunner) is waited
// for up to `waitMs` milliseconds. Returns the partial files removed.
std::vector<std::string> RemoveDeadRuns(int waitMs = 2000);

}  // namespace vmx
