#include "convert/ChildWork.h"

#include "common/UniqueFd.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vmx {

std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

void SayToParent(int reportFd, const std::string& text)
{
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(reportFd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;  // the parent is gone
        done += static_cast<std::size_t>(n);
    }
}

ChildOutcome RunChildWork(const std::function<void(int reportFd)>& work,
                          const std::function<bool(const std::string& line)>& onLine)
{
    ChildOutcome outcome;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        outcome.startError = std::strerror(errno);
        return outcome;
    }
    UniqueFd reportRead(fds[0]), reportWrite(fds[1]);
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t pid = fork();
    if (pid < 0) {
        outcome.startError = std::strerror(errno);
        return outcome;
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        std::signal(SIGPIPE, SIG_IGN);
        work(reportWrite.get());
        _exit(0);
    }
    reportWrite.reset();

    std::string pending;
    char buffer[1 << 16];
    while (!outcome.stopped) {
        const ssize_t n = ::read(reportRead.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t start = 0;
        for (std::size_t end; !outcome.stopped && (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1)
            outcome.stopped = !onLine(pending.substr(start, end - start));
        pending.erase(0, start);
    }
    if (outcome.stopped)
        ::kill(pid, SIGKILL);
    while (::waitpid(pid, &outcome.status, 0) < 0 && errno == EINTR) {
    }
    return outcome;
}

std::string HowChildEnded(int status)
{
    return WIFSIGNALED(status) ? "with signal " + std::to_string(WTERMSIG(status))
                               : "with status " + std::to_string(WEXITSTATUS(status));
}

std::string ProgressLine(std::uint64_t read, std::uint64_t total)
{
    return "P " + std::to_string(read) + " " + std::to_string(total) + "\n";
}

bool HearProgress(const std::string& value, const std::function<bool(std::uint64_t read, std::uint64_t total)>& progress)
{
    unsigned long long read = 0, total = 0;
    if (!progress || std::sscanf(value.c_str(), "%llu %llu", &read, &total) != 2)
        return true;
    return progress(read, total);
}

}  // namespace vmx
