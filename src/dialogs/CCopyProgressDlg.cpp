#include "dialogs/CCopyProgressDlg.h"

#include "dialogs/Utf8Text.h"
#include "dialogs/CopyProgressTemplate.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

using namespace CopyProgressTemplate;

namespace {

// The one copy window; null while there is none.
QPointer<CCopyProgressDlg> g_copyWindow;

int Percent(int value)
{
    return value < 0 ? 0 : value > 100 ? 100 : value;
}

}  // namespace

CCopyProgressDlg::CCopyProgressDlg(QWidget* owner)
    : QDialog(owner)
    , m_units(vmx::BaseUnitsOf(vmx::DialogFont()))
{
    // A fixed window: a title with its close button only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Copying...."));
    setFont(vmx::DialogFont());
    setFixedSize(vmx::DluToPixelsX(kWidthDlu, m_units), vmx::DluToPixelsY(kHeightDlu, m_units));

    auto place = [this](QWidget* widget, int id, const QRect& dlu) {
        widget->setGeometry(vmx::DluToPixels(dlu, m_units));
        if (id != 0) {
            widget->setObjectName(QStringLiteral("control%1").arg(id));
            m_controls.insert(id, widget);
        }
    };
    auto bar = [this] {
        auto* progress = new QProgressBar(this);
        progress->setRange(0, 100);
        progress->setValue(0);
        progress->setTextVisible(false);
        return progress;
    };
    m_overallBar = bar();
    place(m_overallBar, kOverallBar, kOverallBarDlu);
    m_statusLine = new QLabel(this);
    place(m_statusLine, kStatusLine, kStatusLineDlu);
    m_fileBar = bar();
    place(m_fileBar, kFileBar, kFileBarDlu);
    m_warningLine = new QLabel(this);
    place(m_warningLine, kWarningLine, kWarningLineDlu);
    m_rateLine = new QLabel(this);
    m_rateLine->setObjectName(QStringLiteral("rateLine"));
    place(m_rateLine, 0, kRateLineDlu);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setAutoDefault(false);  // Enter cancels nothing; only a click or Escape does
    place(m_cancel, kCancel, kCancelDlu);
    connect(m_cancel, &QPushButton::clicked, this, &CCopyProgressDlg::OnCancel);
    setAttribute(Qt::WA_DeleteOnClose);
}

CCopyProgressDlg::~CCopyProgressDlg()
{
    if (g_copyWindow == this)
        g_copyWindow = nullptr;
}

CCopyProgressDlg* CCopyProgressDlg::ShowCopyWindow(QWidget* owner)
{
    if (!g_copyWindow) {
        g_copyWindow = new CCopyProgressDlg(owner);
        g_copyWindow->setModal(false);
        g_copyWindow->show();
    }
    g_copyWindow->raise();
    g_copyWindow->activateWindow();
    return g_copyWindow;
}

CCopyProgressDlg* CCopyProgressDlg::Current()
{
    return g_copyWindow;
}

void CCopyProgressDlg::CloseCopyWindow()
{
    CCopyProgressDlg* window = g_copyWindow;
    if (!window)
        return;
    g_copyWindow = nullptr;  // a transfer that starts next gets a window of its own
    window->m_closing = true;
    window->close();  // frees it (WA_DeleteOnClose)
}

bool CCopyProgressDlg::UpdateProgress(const vmx::CopyProgressView& view)
{
    return UpdateProgressAt(view, vmx::TransferRate::Clock::now());
}

bool CCopyProgressDlg::UpdateProgressAt(const vmx::CopyProgressView& view, vmx::TransferRate::Clock::time_point now)
{
    m_fileBar->setValue(Percent(view.filePercent));
    m_overallBar->setValue(Percent(view.overallPercent));
    m_statusLine->setText(Utf8Text(view.status));
    m_warningLine->setText(Utf8Text(view.warning));
    if (view.totalBytes != 0) {
        m_rate.add(now, view.transferredBytes);
        m_rateLine->setText(Utf8Text(m_rate.text(view.totalBytes)));
    }
    return !m_cancelRequested;
}

QString CCopyProgressDlg::StatusText() const
{
    return m_statusLine->text();
}

QString CCopyProgressDlg::WarningText() const
{
    return m_warningLine->text();
}

QString CCopyProgressDlg::RateText() const
{
    return m_rateLine->text();
}

void CCopyProgressDlg::OnCancel()
{
    if (m_cancelRequested)
        return;
    m_cancelRequested = true;
    m_cancel->setText(QStringLiteral("Cancelling..."));
    m_cancel->setEnabled(false);
    emit cancelRequested();
}

void CCopyProgressDlg::reject()
{
    OnCancel();
}

void CCopyProgressDlg::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        // Not QDialog's own handling: that would reject(), which here means "cancel".
        event->accept();
        return;
    }
    // The copy goes on until it reads the request; the transfer closes the window afterwards.
    event->ignore();
    OnCancel();
}
