#pragma once

#include "view/CQtUserInterface.h"
#include "view/CSessionWorker.h"
#include "viewmodel/MainViewState.h"

#include <array>
#include <functional>
#include <memory>

class CColorLabel;
class CViewPanes;
class QTableWidget;

// What an operation hands back to the user-interface thread: its result, and copies of the panes
// it changed (taken on the worker, between the operation's end and the next one).
template <typename Result>
struct SessionOutcome {
    Result result;
    vmx::PaneCopies copies;
};

// The main view's recording session and what every operation on it goes through: the session
// worker it runs on, one operation at a time; the user-interface port through which it asks and
// tells the user; the view state and the panes painted from it. Once an operation has ended, the
// runner takes the copies of the panes it changed, hands its result to the command that started
// it, paints those panes again (in RECORD MODE) and asks for the panes another program changed
// to be loaded again (reloadWanted).
class CSessionRunner : public QObject {
    Q_OBJECT
public:
    CSessionRunner(QWidget* owner, const std::array<QTableWidget*, 2>& panes,
                   const std::array<CColorLabel*, 2>& captions);
    ~CSessionRunner() override;
    // Lets an operation that waits for an answer go on unanswered, waits for it to end, and runs
    // no more: the view stops the runner before the commands that hear the operations go.
    void Stop();

    // The owner of both panes' databases; between operations only (see CSessionWorker).
    vmx::RecordingSession& Session() { return m_session; }
    vmx::MainViewState& State() { return m_state; }
    CQtUserInterface& Ui() const { return *m_ui; }
    CSessionWorker& Worker() const { return *m_worker; }
    CViewPanes& Panes() const { return *m_panes; }
    bool IsBusy() const { return m_worker && m_worker->IsBusy(); }

    // Runs `operation` on the worker, then as said above, with `done` hearing its result. False,
    // and nothing runs, while another operation runs (see CSessionWorker::Run).
    template <typename Result>
    bool Run(std::function<Result(vmx::RecordingSession&, vmx::UserInterface&)> operation,
             std::function<void(const Result&)> done = {})
    {
        return m_worker->Run<SessionOutcome<Result>>(
            [operation = std::move(operation), &ui = *m_ui](vmx::RecordingSession& session) {
                SessionOutcome<Result> outcome{operation(session, ui), {}};
                if (const vmx::PaneRefresh* refresh = RefreshOf(outcome.result))
                    outcome.copies = vmx::CopyRefreshedPanes(session, *refresh);
                return outcome;
            },
            [this, done = std::move(done)](SessionOutcome<Result> outcome) {
                Finish(RefreshOf(outcome.result), outcome.copies, [&] {
                    if (done)
                        done(outcome.result);
                });
            });
    }

signals:
    // The databases of the panes marked in refresh.reloads were changed by another program.
    void reloadWanted(const vmx::PaneRefresh& refresh);

private:
    // What a result says the front end paints again; null for one that changes no pane.
    template <typename Result>
    static const vmx::PaneRefresh* RefreshOf(const Result& result)
    {
        if constexpr (requires { result.refresh; })
            return &result.refresh;
        return nullptr;
    }
    void Finish(const vmx::PaneRefresh* refresh, const vmx::PaneCopies& copies, const std::function<void()>& done);

    vmx::RecordingSession m_session;
    vmx::MainViewState m_state;
    // Declared after the session and the state they use, so they go first.
    std::unique_ptr<CQtUserInterface> m_ui;
    std::unique_ptr<CSessionWorker> m_worker;
    std::unique_ptr<CViewPanes> m_panes;
};
