#include "app/CMainFrame.h"

#include "view/CSessionWorker.h"
#include "view/CVelmorixView.h"

#include <QCloseEvent>

CMainFrame::CMainFrame()
    : m_view(new CVelmorixView(this))
{
    setCentralWidget(m_view);
    resize(m_view->DesignSize());
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // An operation on the receiver's disk is never cut off half way: the window closes once it
    // has ended.
    if (m_view->IsBusy()) {
        event->ignore();
        if (!m_closeWhenIdle) {
            m_closeWhenIdle = true;
            connect(&m_view->Worker(), &CSessionWorker::busyChanged, this, [this](bool busy) {
                if (!busy)
                    close();
            });
        }
        return;
    }
    if (!m_storesReleased) {
        m_storesReleased = true;
        m_view->ReleaseRecordStores();
    }
    event->accept();
}
