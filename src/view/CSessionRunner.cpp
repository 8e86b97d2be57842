#include "view/CSessionRunner.h"

#include "view/CViewPanes.h"

CSessionRunner::CSessionRunner(QWidget* owner, const std::array<QTableWidget*, 2>& panes,
                               const std::array<CColorLabel*, 2>& captions)
    : m_ui(std::make_unique<CQtUserInterface>(owner))
    , m_worker(std::make_unique<CSessionWorker>(m_session))
    , m_panes(std::make_unique<CViewPanes>(m_state, panes, captions, nullptr))
{
    // What an operation kept to say until its end comes once the panes show its result.
    connect(m_worker.get(), &CSessionWorker::operationEnding, m_ui.get(), &CQtUserInterface::ShowHeldMessages);
}

CSessionRunner::~CSessionRunner()
{
    Stop();
}

void CSessionRunner::Stop()
{
    // An operation waiting for the user gets the answer of one who cancels; then it ends.
    m_ui->Abandon();
    m_worker.reset();
}

void CSessionRunner::Finish(const vmx::PaneRefresh* refresh, const vmx::PaneCopies& copies,
                            const std::function<void()>& done)
{
    if (refresh)
        m_state.take(copies);
    done();
    if (!refresh)
        return;
    for (const int side : {vmx::kLeftSide, vmx::kRightSide}) {
        if (refresh->panes[std::size_t(side)] && m_state.mode == vmx::ViewMode::Record)
            m_panes->FillRecordPane(side);
    }
    // A database another program changed meanwhile was not written: its pane is loaded again.
    if (refresh->reloads[0] || refresh->reloads[1])
        emit reloadWanted(*refresh);
}
