#pragma once

#include "controls/DialogUnits.h"
#include "recording/TransferRate.h"
#include "recording/UserInterface.h"

#include <QDialog>
#include <QHash>

class QLabel;
class QProgressBar;
class QPushButton;

// The copy window "Copying...." (template 131) of a recording transfer: the overall bar, the
// status line, the bar of the current file, the warning line, the speed with the time left, and
// Cancel. At most one exists; the copy runs elsewhere and its progress is handed in, one step at
// a time, on the user-interface thread.
//
// Cancel asks the copy to stop: the next step is answered "stop" (UpdateProgress returns false),
// the button turns into a disabled "Cancelling..." and the window stays until the transfer has
// rolled back and closes it. The title bar's close button and Escape ask the same; the user
// never just hides the window while the copy goes on.
class CCopyProgressDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCopyProgressDlg(QWidget* owner = nullptr);
    ~CCopyProgressDlg() override;

    // Shows the copy window modeless over `owner`, or brings the one already shown to the front
    // with the focus. Returns it.
    static CCopyProgressDlg* ShowCopyWindow(QWidget* owner);
    // The copy window while there is one, else null.
    static CCopyProgressDlg* Current();
    // The end of the transfer: closes and frees the copy window, if there is one.
    static void CloseCopyWindow();

    // One step of the copy: both bars, both lines and the speed. Returns false once the user has
    // asked to cancel, and for every step after that.
    bool UpdateProgress(const vmx::CopyProgressView& view);
    // The same, measuring the speed as of `now`.
    bool UpdateProgressAt(const vmx::CopyProgressView& view, vmx::TransferRate::Clock::time_point now);

    bool CancelRequested() const { return m_cancelRequested; }

    // The control of template 131 with that id.
    QWidget* Control(int id) const { return m_controls.value(id); }
    QString StatusText() const;
    QString WarningText() const;
    QString RateText() const;

signals:
    // The user asked to cancel (once per window).
    void cancelRequested();

public slots:
    // Escape: asks to cancel; the window stays.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OnCancel();

    vmx::DialogBaseUnits m_units;
    QHash<int, QWidget*> m_controls;
    QProgressBar* m_overallBar = nullptr;
    QProgressBar* m_fileBar = nullptr;
    QLabel* m_warningLine = nullptr;
    QLabel* m_statusLine = nullptr;
    QLabel* m_rateLine = nullptr;
    QPushButton* m_cancel = nullptr;
    vmx::TransferRate m_rate;
    bool m_cancelRequested = false;
    bool m_closing = false;  // closed by the transfer, not by the user
};
