#pragma once

#include "recording/UndoStore.h"
#include "viewmodel/UndoTexts.h"

#include <QObject>

#include <functional>
#include <set>
#include <string>
#include <vector>

class CSessionRunner;
class CViewPlayer;
class QLabel;
class QPoint;
class QPushButton;
class QRect;
class QWidget;

// Taking back and doing again the deletions and cuts of the panes' databases, which keep what
// they destroy in an undo folder beside the database: Ctrl+Z and Ctrl+Shift+Z, the panes' menu,
// the line that tells what the undo folders of the loaded databases hold with its Empty undo
// button, and the two questions about what a folder keeps: once for a database loaded with
// entries from an earlier run, and once when the program ends with entries this run made.
// Every change goes through the session worker; the pane is loaded again afterwards.
class CUndoCommands : public QObject {
    Q_OBJECT
public:
    // `form`: the main form, which holds the line and the button.
    CUndoCommands(CSessionRunner& runner, CViewPlayer& player, QWidget* form);

    void Undo(int side);  // Ctrl+Z
    void Redo(int side);  // Ctrl+Shift+Z
    // Empty undo: frees the undo folders of all loaded databases.
    void EmptyUndo();
    // Opens the menu of a pane at `globalPos`, with Undo and Redo of its database.
    void ShowMenu(int side, const QPoint& globalPos);
    // Lays the line and its button out in `rect`.
    void Place(const QRect& rect);
    // The program ends: what the undo folders of the databases this run changed hold is kept or
    // emptied, as the user answers once (and the answer is remembered for later ends). True
    // when nothing is left to do; else `then` is called once the folders have been emptied.
    // Only while no operation runs.
    bool SettleBeforeExit(std::function<void()> then);

    QLabel* HeldLabel() const { return m_held; }
    QPushButton* EmptyButton() const { return m_empty; }

private:
    struct LoadedDb {
        int side = 0;
        std::string dbPath;
        vmx::UndoSummary summary;
    };
    // The loaded databases, one each (both panes may hold the same one), with what their undo
    // folders hold; only while no operation runs.
    std::vector<LoadedDb> LoadedDatabases() const;
    void Run(int side, bool redo);
    // After each operation: the line and the button show what the folders hold now, and a
    // database loaded for the first time in this run has its earlier entries offered.
    void Refresh();
    void OfferKept();
    // Empties the undo folders of `sides` in one operation; `reload`: the panes another program
    // changed meanwhile are loaded again.
    bool EmptySides(const std::vector<int>& sides, bool reload, std::function<void()> then = {});

    CSessionRunner& m_runner;
    CViewPlayer& m_player;
    QWidget* m_form;
    QLabel* m_held;
    QPushButton* m_empty;
    vmx::UndoLedger m_ledger;
    std::set<std::string> m_toOffer;  // databases loaded with an earlier run's entries, to be offered
    bool m_offerQueued = false;
};
