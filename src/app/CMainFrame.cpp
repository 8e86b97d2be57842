#include "app/CMainFrame.h"

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
    if (!m_storesReleased) {
        m_storesReleased = true;
        m_view->ReleaseRecordStores();
    }
    event->accept();
}
