#include "common/FileLock.h"

#include "common/ReadAll.h"
#include "common/RegularFile.h"
#include "common/WriteAll.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vmx {

namespace {

constexpr std::chrono::milliseconds kPollInterval{50};

// "velmorix-cli (process 1234)" from the holder's line "1234 velmorix-cli".
std::string describeHolder(int fd)
{
    char line[160] = {};
    std::size_t got = 0;
    if (ReadAllAt(fd, line, sizeof line - 1, 0, got) != 0 || got == 0)
        return "another program";
    unsigned long pid = 0;
    char program[128] = {};
    if (std::sscanf(line, "%lu %127[^\n]", &pid, program) != 2 || pid == 0)
        return "another program";
    return std::string(program) + " (process " + std::to_string(pid) + ")";
}

std::string notOurs(const std::string& path, const std::string& what)
{
    return "The lock file " + path + " is " + what + ", so the folder cannot be locked; it was left as it is. "
           "Remove it and try again.";
}

// Why the file behind `st` cannot serve as the lock file, or empty.
std::string unfitLockFile(const std::string& path, const struct stat& st)
{
    if (!S_ISREG(st.st_mode))
        return notOurs(path, FileKindOf(st.st_mode));
    if (st.st_nlink > 1)
        return notOurs(path, "a file with other names too (a hard link)");
    return {};
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

FileLock::~FileLock()
{
    release();
}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        release();
        m_fd = std::move(other.m_fd);
        m_path = std::move(other.m_path);
        m_holder = std::move(other.m_holder);
        m_problem = std::move(other.m_problem);
    }
    return *this;
}

int FileLock::acquire(const std::string& path, std::chrono::milliseconds wait)
{
    release();
    m_holder.clear();
    m_problem.clear();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        // What stands at the name is looked at before it is opened for writing: a link, a pipe or
        // another file's second name must never be opened, let alone truncated.
        struct stat seen {};
        if (::lstat(path.c_str(), &seen) == 0) {
            if (m_problem = unfitLockFile(path, seen); !m_problem.empty())
                return S_ISREG(seen.st_mode) ? EMLINK : EINVAL;
        }
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
        if (!fd.ok()) {
            const int error = errno;
            if (error == ELOOP || error == EISDIR || error == ENXIO)
                m_problem = notOurs(path, error == ELOOP ? "a symbolic link" : error == EISDIR ? "a folder" : "not a regular file");
            else
                m_problem = "Cannot create the lock file " + path + ": " + std::strerror(error) + ".";
            return error;
        }
        struct stat opened {};
        if (::fstat(fd.get(), &opened) != 0) {
            const int error = errno;
            m_problem = "Cannot read the lock file " + path + ": " + std::strerror(error) + ".";
            return error;
        }
        if (m_problem = unfitLockFile(path, opened); !m_problem.empty())
            return S_ISREG(opened.st_mode) ? EMLINK : EINVAL;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if (error == EINTR)
                continue;
            if (error != EWOULDBLOCK) {
                m_problem = "Cannot lock " + path + ": " + std::strerror(error) + ".";
                return error;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                m_holder = describeHolder(fd.get());
                return EWOULDBLOCK;
            }
            std::this_thread::sleep_for(kPollInterval);
            continue;  // opened again: the holder removes the file when it is done
        }
        // Locked; but the previous holder may have removed the file meanwhile, or another program
        // put a new one in its place. Only a lock on the file the name stands for counts.
        struct stat now {};
        if (::lstat(path.c_str(), &now) != 0 || !sameFile(now, opened))
            continue;
        if (m_problem = unfitLockFile(path, now); !m_problem.empty())
            return EMLINK;
        // Best effort: on a full disk the line cannot be written, and the lock holds all the same.
        const std::string line = std::to_string(::getpid()) + " " + program_invocation_short_name + "\n";
        if (::ftruncate(fd.get(), 0) == 0)
            (void)WriteAllAt(fd.get(), line.data(), line.size(), 0);
        m_fd = std::move(fd);
        m_path = path;
        return 0;
    }
}

void FileLock::release()
{
    if (!m_fd.ok())
        return;
    // Removed while still locked, and only when the name still stands for the locked file.
    struct stat locked {};
    struct stat named {};
    if (::fstat(m_fd.get(), &locked) == 0 && ::lstat(m_path.c_str(), &named) == 0 && sameFile(locked, named))
        (void)::unlink(m_path.c_str());
    m_fd.reset();  // closing the last descriptor of the open file gives the lock up
    m_path.clear();
}

}  // namespace vmx
