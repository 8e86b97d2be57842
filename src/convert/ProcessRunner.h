#pragma once

#include "common/UniqueFd.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace vmx {

// How a child ended.
struct ChildExit {
    bool stopped = false;  // ended by StopChild
    int exitCode = -1;     // its exit status when it exited by itself, else -1
    int signal = 0;        // the signal that ended it, else 0
    bool succeeded() const { return !stopped && exitCode == 0; }
};

}  // namespace vmx

// Runs one child process at a time in a process group of its own, its standard input, output
// and error connected to pipes. A child is killed (SIGKILL) when the program dies, however it
// dies, so it never outlives a program that was killed. Two reader threads deliver the output in chunks of at most
// 256 bytes; a waiter thread reports the child's end once its output has been read. Stopping
// ends that process group only. The notifications run on the runner's threads, in slot order:
// OnStarted, OnOutputText, OnErrorText, OnTerminated. OnTerminated comes once for every child
// that started and may start the next child; it never comes for a child that could not start.
class CProcessRunner {
public:
    CProcessRunner();
    virtual ~CProcessRunner();
    CProcessRunner(const CProcessRunner&) = delete;
    CProcessRunner& operator=(const CProcessRunner&) = delete;

    // Runs the sh script at `scriptPath`. showWindow has no meaning here (there is no console
    // window); a normalStart of false lowers the child's scheduling priority.
    bool StartChild(const std::string& scriptPath, bool showWindow, bool normalStart);
    // Runs a program (argv[0], looked up in PATH when it holds no '/').
    bool StartProcess(const std::vector<std::string>& argv, bool normalStart);

    // Ends the running child's process group (SIGTERM, then SIGKILL after 500 ms) and every
    // thread of the runner, and waits for them; harmless when nothing runs. A child started by
    // an OnTerminated that runs meanwhile is refused. Only a child still running at the stop is
    // reported as stopped: one that has ended by itself keeps its own exit status.
    void StopChild();

    // A descriptor every child started from now on keeps open (-1: none), such as the lock of
    // the run it works for, which then lasts as long as the child.
    void KeepOpenInChildren(int fd) { m_keepOpen = fd; }

    bool IsRunning() const { return m_active.load(); }
    // Why the last start failed (empty after a successful start).
    std::string LastStartError() const;

protected:
    virtual void OnStarted(const std::string& commandLine);
    virtual void OnOutputText(const char* text);
    virtual void OnErrorText(const char* text);
    virtual void OnTerminated(const vmx::ChildExit& exit);

private:
    struct Job;
    void readerLoop(Job& job, int fd, bool isError);
    void waiterLoop(Job& job);
    void joinRetired();

    mutable std::mutex m_mutex;        // guards the job records, their pids and stop state
    std::condition_variable m_changed;  // a child exited or a reader finished
    std::mutex m_stopMutex;             // one StopChild at a time
    std::unique_ptr<Job> m_job;                 // the current or last child
    std::vector<std::unique_ptr<Job>> m_retired;  // earlier children whose waiter may still unwind
    bool m_stopping = false;
    std::atomic<bool> m_active{false};
    std::string m_startError;
    std::atomic<int> m_keepOpen{-1};
};
