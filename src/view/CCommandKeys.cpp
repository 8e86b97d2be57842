#include "view/CCommandKeys.h"

#include "dialogs/Utf8Text.h"
#include "controls/CBitmapButton.h"
#include "view/CKeyHelpDlg.h"
#include "view/CVelmorixView.h"
#include "view/CViewPlayer.h"
#include "view/FormTemplate.h"
#include "viewmodel/CommandKeys.h"

#include <QHash>
#include <QKeySequence>
#include <QShortcut>

CCommandKeys::CCommandKeys(CVelmorixView* view)
    : QObject(view)
    , m_view(view)
{
    QHash<QString, QList<int>> buttonsOfKey;
    for (const FormTemplate::Control& control : FormTemplate::Controls()) {
        if (control.kind != FormTemplate::Kind::Button)
            continue;
        const vmx::CommandKey* command = vmx::FindCommandKey(control.caption);
        if (!command)
            continue;
        m_view->Button(control.id)->setToolTip(Utf8Text(vmx::CommandToolTip(*command)));
        if (!command->key.empty())
            buttonsOfKey[Utf8Text(command->key)].append(control.id);
    }
    for (auto it = buttonsOfKey.cbegin(); it != buttonsOfKey.cend(); ++it) {
        auto* shortcut = new QShortcut(QKeySequence::fromString(it.key(), QKeySequence::PortableText), m_view);
        const QList<int> ids = it.value();
        // Space is PL's and PA's: it plays, or pauses and goes on once something plays.
        if (ids.size() > 1)
            connect(shortcut, &QShortcut::activated, this, [this] { PlayOrPause(); });
        else
            connect(shortcut, &QShortcut::activated, this, [this, id = ids.front()] { Press(id); });
    }
    auto* help = new QShortcut(QKeySequence::fromString(Utf8Text(vmx::kHelpKey), QKeySequence::PortableText), m_view);
    connect(help, &QShortcut::activated, this, &CCommandKeys::ShowHelp);
}

void CCommandKeys::Press(int buttonId) const
{
    CBitmapButton* button = m_view->Button(buttonId);
    if (button->isEnabled() && button->isVisible())
        button->click();
}

void CCommandKeys::PlayOrPause() const
{
    const bool playing = m_view->PlayerCommands().IsRunning() || m_view->State().playback.paused();
    Press(playing ? ControlId::kPause : ControlId::kPlay);
}

void CCommandKeys::ShowHelp()
{
    if (!m_help) {
        m_help = new CKeyHelpDlg(m_view);
        m_help->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}
