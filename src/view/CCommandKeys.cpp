#include "view/CCommandKeys.h"

#include "dialogs/Utf8Text.h"
#include "view/CKeyHelpDlg.h"
#include "view/CViewPlayer.h"
#include "view/FormTemplate.h"
#include "viewmodel/CommandKeys.h"

#include <QAbstractButton>
#include <QKeySequence>
#include <QShortcut>

CCommandKeys::CCommandKeys(QWidget* form, const QHash<int, QWidget*>& controls, const CViewPlayer& player,
                           std::function<void(vmx::MarkKey)> markKey, std::function<void(vmx::EditKey)> editKey)
    : QObject(form)
    , m_player(player)
{
    const auto button = [&controls](int id) { return static_cast<QAbstractButton*>(controls.value(id)); };
    QHash<QString, QList<QAbstractButton*>> buttonsOfKey;
    for (const FormTemplate::Control& control : FormTemplate::Controls()) {
        if (control.kind != FormTemplate::Kind::Button)
            continue;
        const vmx::CommandKey* command = vmx::FindCommandKey(control.caption);
        if (!command)
            continue;
        button(control.id)->setToolTip(Utf8Text(vmx::CommandToolTip(*command)));
        if (!command->key.empty())
            buttonsOfKey[Utf8Text(command->key)].append(button(control.id));
    }
    for (auto it = buttonsOfKey.cbegin(); it != buttonsOfKey.cend(); ++it) {
        auto* shortcut = new QShortcut(QKeySequence::fromString(it.key(), QKeySequence::PortableText), form);
        // Space is PL's and PA's: it pauses what plays and plays (or goes on) otherwise.
        connect(shortcut, &QShortcut::activated, this,
                [this, buttons = it.value(), play = button(ControlId::kPlay), pause = button(ControlId::kPause)] {
                    Press(buttons.size() == 1 ? buttons.front() : m_player.SpacePauses() ? pause : play);
                });
    }
    for (const vmx::CommandKey& command : vmx::CommandKeys()) {
        if (command.markKey == vmx::MarkKey::None && command.editKey == vmx::EditKey::None)
            continue;
        auto* shortcut = new QShortcut(QKeySequence::fromString(Utf8Text(command.key), QKeySequence::PortableText), form);
        if (command.markKey != vmx::MarkKey::None)
            connect(shortcut, &QShortcut::activated, this, [markKey, key = command.markKey] { markKey(key); });
        else
            connect(shortcut, &QShortcut::activated, this, [editKey, key = command.editKey] { editKey(key); });
    }
    auto* help = new QShortcut(QKeySequence::fromString(Utf8Text(vmx::kHelpKey), QKeySequence::PortableText), form);
    connect(help, &QShortcut::activated, this, &CCommandKeys::ShowHelp);
}

void CCommandKeys::Press(QAbstractButton* button)
{
    if (button->isEnabled() && button->isVisible())
        button->click();
}

void CCommandKeys::ShowHelp()
{
    if (!m_help) {
        m_help = new CKeyHelpDlg(static_cast<QWidget*>(parent()));
        m_help->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}
