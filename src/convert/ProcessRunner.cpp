#include "ProcessRunner.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// What a child is started with: its program (a path), its arguments and the descriptors it gets.
struct SpawnRequest {
    std::string program;
    std::vector<std::string> argv;
    int input = -1;   // becomes the child's standard input
    int output = -1;  // ... standard output
    int error = -1;   // ... standard error
    int keep = -1;    // a descriptor the child keeps open, or -1
    bool lowerPriority = false;
};

// The program `name` stands for: itself when it holds a '/', else the first executable file of
// that name in PATH (as the shell finds it). Empty when there is none.
std::string findProgram(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return name;
    const char* path = std::getenv("PATH");
    const std::string folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (std::size_t start = 0;;) {
        const std::size_t end = folders.find(':', start);
        const std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos)
            return {};
        start = end + 1;
    }
}

// Puts `fd` at `target` in a new child, open across exec.
void placeDescriptor(int fd, int target)
{
    if (fd == target)
        fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) & ~FD_CLOEXEC);
    else
        dup2(fd, target);
}

// The child's side of a start, between fork and exec: only calls that are safe after a fork in a
// program with threads. Never returns; a failed exec sends its errno through `report`.
[[noreturn]] void becomeChild(const SpawnRequest& request, char* const* argv, char* const* envp, pid_t parent,
                              int report)
{
    // The child is killed when the thread that forked it ends (the spawn thread lives as long as
    // the program), so an encoder never goes on writing for a program that was killed. A program
    // that died before this line is no longer the parent.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
    setpgid(0, 0);  // a new process group led by the child
    placeDescriptor(request.input, 0);
    placeDescriptor(request.output, 1);
    placeDescriptor(request.error, 2);
    if (request.keep >= 0)
        placeDescriptor(request.keep, request.keep);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGPIPE, SIGCHLD, SIGUSR1, SIGUSR2})
        sigaction(sig, &byDefault, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (request.lowerPriority)
        setpriority(PRIO_PROCESS, 0, 10);
    execve(request.program.c_str(), argv, envp);
    const int error = errno;
    [[maybe_unused]] const ssize_t written = write(report, &error, sizeof error);
    _exit(127);
}

// Starts a child on the calling thread; its pid, or -1 with the errno value in `error`.
pid_t forkChild(const SpawnRequest& request, int& error)
{
    std::vector<char*> argv;
    for (const auto& arg : request.argv)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    vmx::UniqueFd reportRead, reportWrite;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = errno;
        return -1;
    }
    reportRead.reset(fds[0]);
    reportWrite.reset(fds[1]);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        error = errno;
        return -1;
    }
    if (pid == 0)
        becomeChild(request, argv.data(), environ, parent, reportWrite.get());
    reportWrite.reset();
    // The report pipe closes at a successful exec; before that the child says why it failed.
    int childError = 0;
    ssize_t n;
    while ((n = read(reportRead.get(), &childError, sizeof childError)) < 0 && errno == EINTR) {
    }
    if (n == static_cast<ssize_t>(sizeof childError)) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        error = childError;
        return -1;
    }
    return pid;
}

// Starts every child of the program from one thread that lives as long as the program. The
// kernel sends a child's parent-death signal when the *thread* that forked it ends, and the
// runner starts the next job from the waiter thread of the job before, which ends soon after; so
// children are started here, and die with the program only. The thread blocks every signal.
class SpawnThread {
public:
    static SpawnThread& Instance()
    {
        static SpawnThread* thread = new SpawnThread;  // never destroyed: it may be in use at exit
        return *thread;
    }

    pid_t Spawn(const SpawnRequest& request, int& error)
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [this] { return m_request == nullptr; });
        Task task{&request, -1, 0, false};
        m_request = &task;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return task.done; });
        m_request = nullptr;
        m_ready.notify_one();
        error = task.error;
        return task.pid;
    }

private:
    struct Task {
        const SpawnRequest* request;
        pid_t pid;
        int error;
        bool done;
    };

    SpawnThread()
    {
        sigset_t all, previous;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous);  // the new thread starts with all blocked
        std::thread([this] { Loop(); }).detach();
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    void Loop()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_request && !m_request->done; });
            Task& task = *m_request;
            task.pid = forkChild(*task.request, task.error);
            task.done = true;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;  // a task came or ended
    std::condition_variable m_ready;    // the slot is free
    Task* m_request = nullptr;
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
void CProcessRunner::OnTerminated(const vmx::ChildExit&) {}

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

    SpawnRequest request;
    request.program = findProgram(argv[0]);
    request.argv = argv;
    request.input = childIn.get();
    request.output = childOut.get();
    request.error = childErr.get();
    request.keep = m_keepOpen;
    request.lowerPriority = !normalStart;
    int error = ENOENT;
    const pid_t pid = request.program.empty() ? -1 : SpawnThread::Instance().Spawn(request, error);
    if (pid < 0) {
        lock.unlock();
        return fail(std::strerror(error));
    }
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

    vmx::ChildExit exit;
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
