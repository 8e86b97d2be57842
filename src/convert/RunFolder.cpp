#include "RunFolder.h"

#include "JobScript.h"
#include "UserFolders.h"

#include "common/FilePaths.h"
#include "common/ReadAll.h"
#include "common/WriteAll.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vmx {

namespace {

constexpr const char* kOwnerName = "owner";
constexpr const char* kPartialsName = "partials";

// The text of a small file read through `fd`, at most `limit` bytes.
std::string readSmall(int fd, std::size_t limit)
{
    std::string text(limit, '\0');
    std::size_t got = 0;
    if (ReadAllAt(fd, text.data(), text.size(), 0, got) != 0)
        return {};
    text.resize(got);
    return text;
}

// The process id written into an owner file, or 0.
pid_t ownerPid(int fd)
{
    const std::string text = readSmall(fd, 32);
    char* end = nullptr;
    const long pid = std::strtol(text.c_str(), &end, 10);
    return pid > 0 && end != text.c_str() ? static_cast<pid_t>(pid) : 0;
}

// Takes the lock of a run whose owner file is open as `fd`. A lock still held by a program whose
// owner process has gone is held by that program's encoder, which the kernel is ending (it asked
// for a signal at its parent's death): that one is waited for, a live owner's is not.
bool lockDeadRun(int fd, int waitMs)
{
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    const pid_t owner = ownerPid(fd);
    if (owner <= 0 || kill(owner, 0) == 0 || errno != ESRCH)
        return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
    }
    return false;
}

// Removes the partial output files a run's record names that are still the files it made.
void removeRecordedPartials(const std::string& runFolder, std::vector<std::string>& removed)
{
    UniqueFd fd(open((runFolder + kPartialsName).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.ok())
        return;
    const std::string text = readSmall(fd.get(), 1 << 20);
    // Each entry: "DEVICE INODE PATH" and a zero byte (a path may hold any other byte).
    for (std::size_t start = 0, end; (end = text.find('\0', start)) != std::string::npos; start = end + 1) {
        const std::string entry = text.substr(start, end - start);
        unsigned long long device = 0;
        unsigned long long inode = 0;
        int used = 0;
        if (std::sscanf(entry.c_str(), "%llu %llu %n", &device, &inode, &used) != 2 || used <= 0)
            continue;
        const std::string path = entry.substr(static_cast<std::size_t>(used));
        struct stat st {};
        if (!IsPartialOutputName(FileNameOfPath(path)) || lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_dev != device || st.st_ino != inode)
            continue;
        if (unlink(path.c_str()) == 0)
            removed.push_back(path);
    }
}

}  // namespace

RunFolder::~RunFolder()
{
    if (m_path.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string RunFolder::create()
{
    if (!m_path.empty())
        return {};
    std::string runtime;
    if (std::string problem = PrivateRuntimeFolder(runtime); !problem.empty())
        return problem;
    std::string name = runtime + "run-XXXXXX";
    if (!mkdtemp(name.data()))  // mode 0700
        return "Cannot create a folder in " + runtime + ": " + std::strerror(errno) + ".";
    // The lock is taken before the owner is written: a folder whose owner file is still empty
    // is being made and is never taken for a dead run's. A tidying run may hold the new lock for
    // a moment while it looks, so this one waits for it.
    const std::string owner = name + "/" + kOwnerName;
    UniqueFd lock(open(owner.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    const std::string pid = std::to_string(getpid()) + "\n";
    int error = 0;
    if (!lock.ok() || flock(lock.get(), LOCK_EX) != 0)
        error = errno;
    else
        error = WriteAllAt(lock.get(), pid.data(), pid.size(), 0);
    if (error != 0) {
        std::error_code ec;
        std::filesystem::remove_all(name, ec);
        return "Cannot create a file in " + name + ": " + std::strerror(error) + ".";
    }
    m_lock = std::move(lock);
    m_path = name + "/";
    return {};
}

std::string RecordPartialOutput(const std::string& runFolder, const std::string& path, int fd)
{
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return std::strerror(errno);
    const std::string entry = std::to_string(static_cast<unsigned long long>(st.st_dev)) + " " +
                              std::to_string(static_cast<unsigned long long>(st.st_ino)) + " " + path + '\0';
    // Only the run's own thread of work writes its record: the entry goes after the last one.
    UniqueFd record(open((runFolder + kPartialsName).c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct stat written {};
    if (!record.ok() || fstat(record.get(), &written) != 0)
        return std::strerror(errno);
    if (const int error = WriteAllAt(record.get(), entry.data(), entry.size(), static_cast<std::uint64_t>(written.st_size));
        error != 0)
        return std::strerror(error);
    return {};
}

std::vector<std::string> RemoveDeadRuns(int waitMs)
{
    std::vector<std::string> removed;
    std::string runtime;
    if (!PrivateRuntimeFolder(runtime).empty())
        return removed;
    std::vector<std::string> folders;
    if (DIR* dir = opendir(runtime.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (std::strncmp(entry->d_name, "run-", 4) == 0)
                folders.push_back(runtime + entry->d_name + "/");
        }
        closedir(dir);
    }
    for (const std::string& folder : folders) {
        const std::string owner = folder + kOwnerName;
        UniqueFd fd(open(owner.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.ok() || !lockDeadRun(fd.get(), waitMs))
            continue;
        // Still the folder whose lock was taken (another run may have removed it meanwhile and a
        // new one taken its name), and one whose owner had got as far as naming itself.
        struct stat held {};
        struct stat named {};
        if (fstat(fd.get(), &held) != 0 || lstat(owner.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
            held.st_ino != named.st_ino || ownerPid(fd.get()) <= 0)
            continue;
        removeRecordedPartials(folder, removed);
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    return removed;
}

}  // namespace vmx
