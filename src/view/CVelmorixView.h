#pragma once

#include "controls/CColorFormView.h"
#include "controls/DialogUnits.h"
#include "recording/RecordingSession.h"
#include "viewmodel/MainViewState.h"

#include <QFont>
#include <QHash>

#include <memory>

class CBitmapButton;
class CColorLabel;
class CDetailsArea;
class CGomxctrl1;
class CMarkBar;
class CPaneCommands;
class CProcessCommands;
class CQtUserInterface;
class CSessionWorker;
class CSkinSlider;
class CTransferCommands;
class CWorkWindows;
class CViewPanes;
class CViewPlayer;
class QComboBox;
class QLineEdit;
class QTableWidget;

// The program's one view: the main form with the player, position slider, mark bar, details
// labels, both panes, the mode selector and the command buttons, laid out from the form
// template in dialog units of the form's font. It keeps the view's working state and hands the
// commands to the classes that carry them out: the panes' commands, the player's commands, the
// merge, conversion and cut, and the session worker on which every recording operation runs.
class CVelmorixView : public CColorFormView {
    Q_OBJECT
public:
    explicit CVelmorixView(QWidget* parent = nullptr);
    // Lets an operation that waits for an answer go on unanswered, then waits for it to end.
    ~CVelmorixView() override;

    // Sets up the recording session (both record stores), fonts, labels, mark bar, slider,
    // buttons and mode selector.
    void OnInitialUpdate();
    // Releases both record stores through the session (the frame calls it once, when it closes,
    // and never while an operation runs).
    void ReleaseRecordStores();
    // Loads the databases named on the command line: the first into the left pane, then the
    // second into the right one, as L and R load them.
    void LoadDatabases(const QStringList& paths);

    // The owner of both panes' databases; every recording command goes through it, on the worker.
    vmx::RecordingSession& Session() { return m_session; }
    vmx::MainViewState& State() { return m_state; }
    const vmx::MainViewState& State() const { return m_state; }
    CSessionWorker& Worker() const { return *m_worker; }
    CQtUserInterface& Ui() const { return *m_ui; }
    CViewPanes& Panes() const { return *m_panes; }
    CDetailsArea& Details() const { return *m_details; }
    CViewPlayer& PlayerCommands() const { return *m_playerCommands; }
    CPaneCommands& Commands() const { return *m_commands; }
    CProcessCommands& ProcessCommands() const { return *m_processCommands; }
    CTransferCommands& Transfers() const { return *m_transfers; }
    // Asks the recording transfer that runs to stop, as its copy window's Cancel does; false
    // when none runs.
    bool CancelCopy();
    // True while a recording transfer runs (the kind of operation that Cancel stops).
    bool CopyRunning() const;
    // True while a recording operation runs on the worker.
    bool IsBusy() const;

    // Switches a command's control on or off. While an operation runs the commands that start
    // one stay off (PA and S stay on), and come back as asked once it has ended.
    void EnableCommand(int id, bool enable);
    // Applies the buttons of the current mode.
    void EnableButtonsForMode();
    // Shows entry `index` in the mode selector without running a mode switch.
    void SelectModeEntry(int index);

    QSize DesignSize() const;
    QSize sizeHint() const override { return DesignSize(); }

    CGomxctrl1* Player() const { return m_player; }
    CSkinSlider* PositionSlider() const { return m_slider; }
    CMarkBar* MarkBar() const { return m_markBar; }
    QTableWidget* Pane(int side) const { return side == 0 ? m_leftPane : m_rightPane; }
    QComboBox* ModeSelector() const { return m_modeSelector; }
    QLineEdit* NameEdit() const { return m_nameEdit; }
    CColorLabel* Label(int id) const;
    CBitmapButton* Button(int id) const;
    QWidget* Control(int id) const { return m_controls.value(id); }

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void CreateCommands();
    void ConnectCommands();
    void LayOut();
    void FitModeSelectorText();
    void ApplyEnabled(int id);

    vmx::RecordingSession m_session;
    vmx::MainViewState m_state;
    DialogBaseUnits m_units;
    QHash<int, QWidget*> m_controls;
    QHash<int, bool> m_wantEnabled;
    CGomxctrl1* m_player = nullptr;
    CSkinSlider* m_slider = nullptr;
    CMarkBar* m_markBar = nullptr;
    QTableWidget* m_leftPane = nullptr;
    QTableWidget* m_rightPane = nullptr;
    QComboBox* m_modeSelector = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QFont m_headerFont;
    QFont m_pathFont;
    QFont m_timeFont;
    QFont m_detailsFont;
    // Declared after the session and the state they use, so they go first.
    std::unique_ptr<CQtUserInterface> m_ui;
    std::unique_ptr<CSessionWorker> m_worker;
    std::unique_ptr<CViewPanes> m_panes;
    std::unique_ptr<CDetailsArea> m_details;
    std::unique_ptr<CViewPlayer> m_playerCommands;
    std::unique_ptr<CPaneCommands> m_commands;
    std::unique_ptr<CProcessCommands> m_processCommands;
    std::unique_ptr<CTransferCommands> m_transfers;
    std::unique_ptr<CWorkWindows> m_workWindows;
};
