#include "app/CMainFrame.h"

#include "view/CQtUserInterface.h"
#include "view/CSessionWorker.h"
#include "view/CUndoCommands.h"
#include "view/CVelmorixView.h"

#include <QCloseEvent>
#include <QTimer>

CMainFrame::CMainFrame()
    : m_view(new CVelmorixView(this))
{
    setCentralWidget(m_view);
    resize(m_view->DesignSize());
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // An operation on the receiver's disk is never cut off half way: the user chooses between
    // stopping a copy cleanly (the recording being copied is taken back) or waiting for the
    // operation to end, and the window closes once it has ended; or the window stays.
    if (m_view->IsBusy()) {
        event->ignore();
        if (m_closeWhenIdle)
            return;  // already closing once the operation has ended
        const bool copying = m_view->CopyRunning();
        const bool yes = m_view->Ui().askYesNo(copying ? kStopCopyQuestion : kCloseWhenDoneQuestion, {});
        if (!yes)
            return;
        if (m_view->IsBusy()) {
            m_closeWhenIdle = true;
            connect(&m_view->Runner().Worker(), &CSessionWorker::busyChanged, this, [this](bool busy) {
                if (!busy)
                    close();
            });
            if (copying) {
                // Nothing more is asked or told on the way out (such as that the copy was
                // cancelled): the user has said what should happen.
                m_view->Ui().Abandon();
                m_view->CancelCopy();
            }
            return;
        }
        // It ended while the question was shown.
    }
    if (!m_undoSettled) {
        const bool settled = m_view->UndoCommands().SettleBeforeExit([this] {
            m_undoSettled = true;
            QTimer::singleShot(0, this, &QWidget::close);  // not from within the emptying's end
        });
        if (!settled) {
            event->ignore();
            return;
        }
        m_undoSettled = true;
    }
    if (!m_storesReleased) {
        m_storesReleased = true;
        m_view->ReleaseRecordStores();
    }
    event->accept();
}
