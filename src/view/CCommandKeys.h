#pragma once

#include "view/CKeyHelpDlg.h"
#include "viewmodel/CommandKeys.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class CViewPlayer;
class QAbstractButton;

// The main view's buttons say what they do on hover, with their key, and the keys press them:
// both come from the command table (vmx::CommandKeys). F1 opens the help window that lists the
// keys. A key that types (Space, S, I, O, A, the arrows in the box) types while a text box has the focus; only there it is no
// command. A key presses its button only while the button is on. Ctrl+Z and Ctrl+Shift+Z press no
// button: they take back and do again the last deletion or cut of a pane.
class CCommandKeys : public QObject {
    Q_OBJECT
public:
    // `form`: the main form, whose controls by id `controls` holds; `markKey` carries out the keys
    // of the cut marks, `editKey` Undo and Redo.
    CCommandKeys(QWidget* form, const QHash<int, QWidget*>& controls, const CViewPlayer& player,
                 std::function<void(vmx::MarkKey)> markKey, std::function<void(vmx::EditKey)> editKey);

    // The help window while it is open, or nullptr.
    CKeyHelpDlg* HelpWindow() const { return m_help; }

private:
    static void Press(QAbstractButton* button);
    void ShowHelp();

    const CViewPlayer& m_player;
    QPointer<CKeyHelpDlg> m_help;
};
