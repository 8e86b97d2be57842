#pragma once

#include <QObject>
#include <QPointer>

class CQtUserInterface;
class QWidget;

// The windows a long operation shows while it works on the session worker: the copy window of a
// recording transfer and the wait window of the other long commands. The user-interface port
// announces them (from whichever thread the operation runs on); this shows, updates and closes
// them on the user-interface thread, over the main window. The copy window's Cancel reaches the
// port, whose next progress step then answers "stop".
class CWorkWindows : public QObject {
    Q_OBJECT
public:
    CWorkWindows(CQtUserInterface& ui, QWidget* owner);
    // Frees a copy window or wait window still shown.
    ~CWorkWindows() override;

    // Asks the running copy to stop, as the copy window's Cancel does. False when no copy runs.
    bool CancelCopy();

private slots:
    void OnCopyCancelled();

private:
    void OpenCopyWindow();
    void CloseCopyWindow();

    CQtUserInterface& m_ui;
    QPointer<QWidget> m_owner;
};
