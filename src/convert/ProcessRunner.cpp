#include "ProcessRunner.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

struct CProcessRunner::Job {
    pid_t pid = -1;           // also the process group id
    vmx::UniqueFd input;           // parent's end of the child's standard input
    vmx::UniqueFd output;          // parent's end of the child's standard output
    vmx::UniqueFd error;           // parent's end of the child's standard error
    vmx::UniqueFd stopRead;        // readable once the readers are to give up
    vmx::UniqueFd stopWrite;
    std::thread outputReader;
    std::thread errorReader;
    std::thread waiter;
    bool exited = false;      // the child has ended (not yet reaped: the group id stays reserved)
    bool reaped = false;      // the child's pid is released; its group must not be signalled
    bool stopRequested = false;
    int readersDone = 0;
};

namespace {

constexpr auto kStopGrace = std::chrono::milliseconds(500);
// A process that left the job's group may keep its output pipe open; once the child has
// ended, its readers wait this long for the end of the output before they are cut off.
constexpr auto kDrainGrace = std::chrono::seconds(2);

// Owns spawn attributes and file actions.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

bool makePipe(vmx::UniqueFd& readEnd, vmx::UniqueFd& writeEnd)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
    return true;
}

std::string joinCommand(const std::vector<std::string>& argv)
{
    std::string text;
    for (const auto& arg : argv)
        text += (text.empty() ? "" : " ") + arg;
    return text;
}

// True once the child has ended (it stays a zombie, unreaped, so its id cannot be reused).
bool hasEnded(pid_t pid)
{
    siginfo_t info{};
    int rc;
    while ((rc = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT)) != 0 && errno == EINTR) {
    }
    return rc == 0 && info.si_pid == pid;
}

void joinUnlessSelf(std::thread& thread)
{
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id())
        thread.join();
}

}  // namespace

CProcessRunner::CProcessRunner() = default;

CProcessRunner::~CProcessRunner()
{
    StopChild();
    // A runner destroyed from its own waiter thread cannot wait for that thread; the thread
    // touches nothing of the runner once its OnTerminated has returned.
    if (m_job)
        m_retired.push_back(std::move(m_job));
    for (auto& job : m_retired) {
        if (job->waiter.joinable())
            job->waiter.detach();
    }
}

void CProcessRunner::OnStarted(const std::string&) {}
void CProcessRunner::OnOutputText(const char*) {}
void CProcessRunner::OnErrorText(const char*) {}
void CProcessRunner::OnTerminated(const ChildExit&) {}

std::string CProcessRunner::LastStartError() const
{
    std::lock_guard lock(m_mutex);
    return m_startError;
}

bool CProcessRunner::StartChild(const std::string& scriptPath, bool, bool normalStart)
{
    return StartProcess({"/bin/sh", scriptPath}, normalStart);
}

bool CProcessRunner::StartProcess(const std::vector<std::string>& argv, bool normalStart)
{
    const std::string commandLine = joinCommand(argv);
    auto fail = [&](const std::string& reason) {
        {
            std::lock_guard lock(m_mutex);
            m_startError = reason;
        }
        std::string text = "Unable to start " + commandLine + "\n";
        if (text.size() > 255)
            text.resize(255);
        OnOutputText(text.c_str());
        return false;
    };

    joinRetired();
    std::unique_lock lock(m_mutex);
    if (m_stopping)
        return false;  // the run is being stopped: no new child
    if ((m_job && !m_job->reaped) || argv.empty()) {
        const bool busy = m_job && !m_job->reaped;
        lock.unlock();
        return fail(busy ? "another child is still running" : "no command");
    }

    auto job = std::make_unique<Job>();
    vmx::UniqueFd childIn, childOut, childErr;
    if (!makePipe(childIn, job->input) || !makePipe(job->output, childOut) || !makePipe(job->error, childErr) ||
        !makePipe(job->stopRead, job->stopWrite)) {
        lock.unlock();
        return fail(std::string("cannot create pipes: ") + std::strerror(errno));
    }

    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, childIn.get(), 0);
    posix_spawn_file_actions_adddup2(&setup.actions, childOut.get(), 1);
    posix_spawn_file_actions_adddup2(&setup.actions, childErr.get(), 2);
    sigset_t mask;
    sigemptyset(&mask);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGPIPE, SIGCHLD, SIGUSR1, SIGUSR2})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&setup.attr, &mask);
    posix_spawnattr_setsigdefault(&setup.attr, &defaults);
    posix_spawnattr_setpgroup(&setup.attr, 0);  // a new process group led by the child
    posix_spawnattr_setflags(&setup.attr, static_cast<short>(POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                             POSIX_SPAWN_SETSIGDEF));
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &setup.actions, &setup.attr, args.data(), environ);
    if (rc != 0) {
        lock.unlock();
        return fail(std::strerror(rc));
    }
    if (!normalStart)
        setpriority(PRIO_PGRP, static_cast<id_t>(pid), 10);
    // Only the child keeps the write ends, so the readers see the end of the output when it ends.
    childIn.reset();
    childOut.reset();
    childErr.reset();

    job->pid = pid;
    m_startError.clear();
    if (m_job)
        m_retired.push_back(std::move(m_job));
    m_job = std::move(job);
    Job& current = *m_job;
    m_active = true;
    current.outputReader = std::thread([this, &current] { readerLoop(current, current.output.get(), false); });
    current.errorReader = std::thread([this, &current] { readerLoop(current, current.error.get(), true); });
    current.waiter = std::thread([this, &current] { waiterLoop(current); });
    lock.unlock();
    OnStarted(commandLine);
    return true;
}

void CProcessRunner::readerLoop(Job& job, int fd, bool isError)
{
    char buffer[257];
    pollfd fds[2] = {{fd, POLLIN, 0}, {job.stopRead.get(), POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents != 0)
            break;
        const ssize_t n = read(fd, buffer, 256);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break;  // end of output: every process holding the pipe has gone
        buffer[n] = '\0';
        if (isError)
            OnErrorText(buffer);
        else
            OnOutputText(buffer);
    }
    std::lock_guard lock(m_mutex);
    ++job.readersDone;
    m_changed.notify_all();
}

void CProcessRunner::waiterLoop(Job& job)
{
    siginfo_t info{};
    // Wait without reaping: the zombie keeps the process group id reserved while it is signalled.
    while (waitid(P_PID, static_cast<id_t>(job.pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    {
        std::unique_lock lock(m_mutex);
        job.exited = true;
        kill(-job.pid, SIGKILL);  // whatever the child left behind in its group
        m_changed.notify_all();
        if (!m_changed.wait_for(lock, kDrainGrace, [&] { return job.readersDone == 2; })) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t written = write(job.stopWrite.get(), &byte, 1);
        }
    }
    job.outputReader.join();
    job.errorReader.join();

    ChildExit exit;
    {
        std::lock_guard lock(m_mutex);
        int status = 0;
        while (waitpid(job.pid, &status, 0) < 0 && errno == EINTR) {
        }
        job.reaped = true;
        exit.stopped = job.stopRequested;
        if (WIFEXITED(status))
            exit.exitCode = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            exit.signal = WTERMSIG(status);
        job.input.reset();
        m_active = false;
    }
    OnTerminated(exit);
}

void CProcessRunner::joinRetired()
{
    std::vector<std::unique_ptr<Job>> finished;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_retired.begin(); it != m_retired.end();) {
            if ((*it)->waiter.get_id() != std::this_thread::get_id()) {
                finished.push_back(std::move(*it));
                it = m_retired.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& job : finished)
        joinUnlessSelf(job->waiter);
}

void CProcessRunner::StopChild()
{
    std::lock_guard stopLock(m_stopMutex);
    std::unique_ptr<Job> job;
    {
        std::unique_lock lock(m_mutex);
        m_stopping = true;
        if (m_job && !m_job->reaped) {
            Job& current = *m_job;
            // Whether the child still runs is decided here, under the lock, from the kernel's
            // own record: a child that has already ended by itself keeps its own result even
            // when the waiter has not yet woken up to mark it. Only a running child is stopped.
            if (!current.exited && hasEnded(current.pid))
                current.exited = true;
            if (!current.exited) {
                current.stopRequested = true;
                kill(-current.pid, SIGTERM);
            }
            if (!m_changed.wait_for(lock, kStopGrace, [&] { return current.exited || current.reaped; }) &&
                !current.reaped) {
                kill(-current.pid, SIGKILL);
            }
            const char byte = 1;
            [[maybe_unused]] const ssize_t written = write(current.stopWrite.get(), &byte, 1);
        }
        if (m_job && m_job->waiter.get_id() != std::this_thread::get_id())
            job = std::move(m_job);
    }
    if (job)
        joinUnlessSelf(job->waiter);
    joinRetired();
    std::lock_guard lock(m_mutex);
    m_stopping = false;
}
