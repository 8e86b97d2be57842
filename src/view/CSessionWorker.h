#pragma once

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vmx {
class RecordingSession;
}

// Runs the recording session's operations one at a time on a thread of its own, so that the
// window keeps painting while a database is read or written or files are measured, copied or
// deleted. While an operation runs, the user-interface thread must not call into the session:
// the operation hands back what the view paints (copies), and `done` receives it on the
// user-interface thread once the operation has ended.
class CSessionWorker : public QObject {
    Q_OBJECT
public:
    explicit CSessionWorker(vmx::RecordingSession& session, QObject* parent = nullptr);
    // Waits for the operation that runs, then ends the thread. Whoever answers the operation's
    // questions must have stopped waiting for the user first (CQtUserInterface::Abandon).
    ~CSessionWorker() override;

    // Runs `operation` on the worker thread and then `done` with its result on this object's
    // thread. False, and nothing runs, while another operation runs. `done` may start the next
    // operation; it begins once the one before has ended (operationEnding).
    template <typename Result>
    bool Run(std::function<Result(vmx::RecordingSession&)> operation, std::function<void(Result)> done)
    {
        auto result = std::make_shared<std::optional<Result>>();
        return Start([operation = std::move(operation), result](vmx::RecordingSession& session) {
                         *result = operation(session);
                     },
                     [done = std::move(done), result] { done(std::move(**result)); });
    }

    bool IsBusy() const { return m_busy; }
    // Calls `call` on this object's thread once no operation runs: at once when none runs now,
    // else after the running one (and any it started from its end) has ended.
    void WhenIdle(std::function<void()> call);

signals:
    // An operation started (true: also one started by the end of the one before), or one ended
    // and none was started from its end (false).
    void busyChanged(bool busy);
    // An operation's `done` has run (the view has painted its result); the operation still counts
    // as running until the slots have returned, so that what they show (its final messages) is
    // its last word, and an operation that `done` started begins after them.
    void operationEnding();

private:
    bool Start(std::function<void(vmx::RecordingSession&)> work, std::function<void()> finish);
    // Queues `work` to the worker thread, and `finish` back to this thread once it has run.
    void Post(std::function<void(vmx::RecordingSession&)> work, std::function<void()> finish);

    vmx::RecordingSession& m_session;
    QThread m_thread;
    QObject* m_context;  // lives on m_thread: operations are queued to it
    bool m_busy = false;
    bool m_ending = false;          // an operation's done and operationEnding run
    std::function<void()> m_next;   // the operation its done started, posted once it has ended
    std::vector<std::function<void()>> m_whenIdle;
};
