#pragma once

#include "common/UniqueFd.h"

#include <chrono>
#include <string>

namespace vmx {

// An exclusive advisory lock (flock) on a lock file, held until release() or the object's end,
// and given up by the kernel when the process ends, however it ends. The holder writes one line
// "PID PROGRAM" into the file, so that a program finding the lock taken can say who has it.
//
// The lock file exists only while somebody holds it: release() removes it while it is still
// locked. A program that opened the old file and was waiting for it then holds a lock on a file
// that has no name any more; acquire() therefore checks, once it has the lock, that the path still
// names the file it locked, and starts again when it does not. So no trace of the lock stays on
// the disk, and two programs never each hold "the" lock on a different file.
//
// The lock file is written into only when it is a regular file of its own: a name that stands for
// a link, a folder, a named pipe or a file with other names (a hard link to some other file) is
// refused and left as it is. Locks work on every local file system, FAT-formatted disks included.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept = default;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock on `path` (the file is created when missing), trying again every 50 ms for up
    // to `wait` while another holder has it. Returns 0, or an errno value: EWOULDBLOCK when the
    // other holder kept it all along (holder() then says who it is), anything else when the file
    // could not be created, opened or locked (EROFS on a read-only disk, ENOENT for a missing
    // folder, EINVAL or EMLINK for a name that is no lock file of ours); problem() then says why in
    // one sentence naming the file.
    int acquire(const std::string& path, std::chrono::milliseconds wait);
    void release();
    bool held() const { return m_fd.ok(); }
    const std::string& path() const { return m_path; }

    // Who held the lock when acquire() gave up: "velmorix-cli (process 1234)", or "another program"
    // when its line could not be read.
    const std::string& holder() const { return m_holder; }
    // Why acquire() failed, other than the lock being held by someone else.
    const std::string& problem() const { return m_problem; }

private:
    UniqueFd m_fd;
    std::string m_path;
    std::string m_holder;
    std::string m_problem;
};

}  // namespace vmx
