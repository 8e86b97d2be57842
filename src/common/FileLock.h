#pragma once

#include "common/UniqueFd.h"

#include <chrono>
#include <string>

namespace vmx {

// An exclusive advisory lock (flock) on a lock file, held until release() or the object's end,
// and given up by the kernel when the process ends, however it ends. The holder writes one line
// "PID PROGRAM" into the file, so that a program finding the lock taken can say who has it; the
// line is cleared again at release. The file itself is never removed: a program may have it open
// and be about to lock it, and removing it would let that program and the next one each hold "the"
// lock on a different file. Locks work on every local file system, FAT-formatted disks included.
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
    // folder, ...).
    int acquire(const std::string& path, std::chrono::milliseconds wait);
    void release();
    bool held() const { return m_fd.ok(); }
    const std::string& path() const { return m_path; }

    // Who held the lock when acquire() gave up: "velmorix-cli (process 1234)", or "another program"
    // when its line could not be read.
    const std::string& holder() const { return m_holder; }

private:
    UniqueFd m_fd;
    std::string m_path;
    std::string m_holder;
};

}  // namespace vmx
