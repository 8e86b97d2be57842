#include "view/CWorkWindows.h"

#include "dialogs/CCopyProgressDlg.h"
#include "dialogs/CPleaseWait.h"
#include "view/CQtUserInterface.h"

CWorkWindows::CWorkWindows(CQtUserInterface& ui, QWidget* owner)
    : m_ui(ui)
    , m_owner(owner)
{
    connect(&m_ui, &CQtUserInterface::progressOpened, this, [this] { OpenCopyWindow(); });
    connect(&m_ui, &CQtUserInterface::progressUpdated, this, [](const vmx::CopyProgressView& view) {
        // A step that arrives after the window went (the user cannot close it, but the transfer
        // may have closed it already) is dropped.
        if (CCopyProgressDlg* window = CCopyProgressDlg::Current())
            window->UpdateProgress(view);
    });
    connect(&m_ui, &CQtUserInterface::progressClosed, this, [this] { CloseCopyWindow(); });
    connect(&m_ui, &CQtUserInterface::waitShown, this, [this](const QString& text) {
        CPleaseWait::ShowWaitWindow(m_owner, text);
    });
    connect(&m_ui, &CQtUserInterface::waitClosed, this, [] { CPleaseWait::CloseWaitWindow(); });
}

CWorkWindows::~CWorkWindows()
{
    CCopyProgressDlg::CloseCopyWindow();
    CPleaseWait::CloseWaitWindow();
}

void CWorkWindows::OpenCopyWindow()
{
    CCopyProgressDlg* window = CCopyProgressDlg::ShowCopyWindow(m_owner);
    // One connection per window: the window is freed when it closes, and its connections with it.
    connect(window, &CCopyProgressDlg::cancelRequested, this, &CWorkWindows::OnCopyCancelled, Qt::UniqueConnection);
}

void CWorkWindows::OnCopyCancelled()
{
    m_ui.RequestCancel();
}

void CWorkWindows::CloseCopyWindow()
{
    CCopyProgressDlg::CloseCopyWindow();
}

bool CWorkWindows::CancelCopy()
{
    if (!m_ui.CopyRunning())
        return false;
    // Through the window when it is there, so that it says "Cancelling..." as after a click.
    if (CCopyProgressDlg* window = CCopyProgressDlg::Current())
        window->reject();
    m_ui.RequestCancel();
    return true;
}
