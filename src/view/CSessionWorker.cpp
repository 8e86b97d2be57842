#include "view/CSessionWorker.h"

CSessionWorker::CSessionWorker(vmx::RecordingSession& session, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_context(new QObject)
{
    m_thread.setObjectName(QStringLiteral("session worker"));
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

CSessionWorker::~CSessionWorker()
{
    // The queued operation, if any, runs to its end before the thread's loop sees the quit.
    m_thread.quit();
    m_thread.wait();
    delete m_context;
}

bool CSessionWorker::Start(std::function<void(vmx::RecordingSession&)> work, std::function<void()> finish)
{
    if (m_busy)
        return false;
    m_busy = true;
    emit busyChanged(true);
    QMetaObject::invokeMethod(
        m_context,
        [this, work = std::move(work), finish = std::move(finish)]() mutable {
            work(m_session);
            // Back on this object's thread; dropped if the worker is gone by then.
            QMetaObject::invokeMethod(
                this,
                [this, finish = std::move(finish)] {
                    m_busy = false;
                    finish();
                    if (!m_busy)
                        emit busyChanged(false);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return true;
}
