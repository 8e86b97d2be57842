#include "view/CSessionWorker.h"

#include <utility>

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
    // While an operation ends, its done may start one operation, which waits for that end.
    if (m_busy && (!m_ending || m_next))
        return false;
    if (m_ending) {
        m_next = [this, work = std::move(work), finish = std::move(finish)]() mutable {
            Post(std::move(work), std::move(finish));
        };
    } else {
        m_busy = true;
        Post(std::move(work), std::move(finish));
    }
    emit busyChanged(true);
    return true;
}

void CSessionWorker::WhenIdle(std::function<void()> call)
{
    if (m_busy)
        m_whenIdle.push_back(std::move(call));
    else
        call();
}

void CSessionWorker::Post(std::function<void(vmx::RecordingSession&)> work, std::function<void()> finish)
{
    QMetaObject::invokeMethod(
        m_context,
        [this, work = std::move(work), finish = std::move(finish)]() mutable {
            work(m_session);
            // Back on this object's thread; dropped if the worker is gone by then.
            QMetaObject::invokeMethod(
                this,
                [this, finish = std::move(finish)] {
                    m_ending = true;
                    finish();
                    emit operationEnding();
                    m_ending = false;
                    if (m_next) {
                        std::exchange(m_next, {})();
                        return;
                    }
                    m_busy = false;
                    emit busyChanged(false);
                    for (const std::function<void()>& call : std::exchange(m_whenIdle, {}))
                        call();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
