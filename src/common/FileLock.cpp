#include "common/FileLock.h"

#include "common/ReadAll.h"
#include "common/WriteAll.h"

#include <cerrno>
#include <cstdio>
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
    }
    return *this;
}

int FileLock::acquire(const std::string& path, std::chrono::milliseconds wait)
{
    release();
    m_holder.clear();
    // Never through a link and never blocking on something that is not a regular file.
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
    if (!fd.ok())
        return errno;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return errno;
        if (std::chrono::steady_clock::now() >= deadline) {
            m_holder = describeHolder(fd.get());
            return EWOULDBLOCK;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    // Best effort: on a full disk the line cannot be written, and the lock holds all the same.
    const std::string line = std::to_string(::getpid()) + " " + program_invocation_short_name + "\n";
    if (::ftruncate(fd.get(), 0) == 0)
        (void)WriteAllAt(fd.get(), line.data(), line.size(), 0);
    m_fd = std::move(fd);
    m_path = path;
    return 0;
}

void FileLock::release()
{
    if (!m_fd.ok())
        return;
    (void)::ftruncate(m_fd.get(), 0);
    m_fd.reset();  // closing the last descriptor of the open file gives the lock up
    m_path.clear();
}

}  // namespace vmx
