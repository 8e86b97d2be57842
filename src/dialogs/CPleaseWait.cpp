#include "dialogs/CPleaseWait.h"

#include "controls/CColorLabel.h"
#include "dialogs/PleaseWaitTemplate.h"

#include <QCloseEvent>
#include <QPointer>

using namespace PleaseWaitTemplate;

namespace {

// The one wait window; null while there is none.
QPointer<CPleaseWait> g_waitWindow;

}  // namespace

CPleaseWait::CPleaseWait(QWidget* owner)
    : QDialog(owner)
    , m_units(vmx::BaseUnitsOf(vmx::DialogFont()))
{
    // A title without a close button: the window closes when the work ends.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Please Wait"));
    setFont(vmx::DialogFont());
    setFixedSize(vmx::DluToPixelsX(kWidthDlu, m_units), vmx::DluToPixelsY(kHeightDlu, m_units));
    m_label = new CColorLabel(this);
    m_label->setObjectName(QStringLiteral("control%1").arg(kMessage));
    m_label->setGeometry(vmx::DluToPixels(kMessageDlu, m_units));
    setAttribute(Qt::WA_DeleteOnClose);
}

CPleaseWait::~CPleaseWait()
{
    if (g_waitWindow == this)
        g_waitWindow = nullptr;
}

CPleaseWait* CPleaseWait::ShowWaitWindow(QWidget* owner, const QString& text)
{
    if (g_waitWindow) {
        g_waitWindow->raise();
        g_waitWindow->activateWindow();
        return g_waitWindow;
    }
    g_waitWindow = new CPleaseWait(owner);
    g_waitWindow->setModal(false);
    g_waitWindow->show();
    g_waitWindow->SetText(text);
    return g_waitWindow;
}

CPleaseWait* CPleaseWait::Current()
{
    return g_waitWindow;
}

void CPleaseWait::CloseWaitWindow()
{
    CPleaseWait* window = g_waitWindow;
    if (!window)
        return;
    g_waitWindow = nullptr;
    window->m_closing = true;
    window->close();  // frees it (WA_DeleteOnClose)
}

void CPleaseWait::SetText(const QString& text)
{
    m_label->SetText(text);
}

QString CPleaseWait::Text() const
{
    return m_label->Text();
}

void CPleaseWait::closeEvent(QCloseEvent* event)
{
    // Not QDialog's own handling, which would reject().
    if (m_closing)
        event->accept();
    else
        event->ignore();
}
