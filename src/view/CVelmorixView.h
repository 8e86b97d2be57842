#pragma once

#include "controls/CColorFormView.h"
#include "controls/DialogUnits.h"
#include "view/CSessionRunner.h"

#include <QHash>

#include <functional>
#include <memory>

class CAdFinder;
class CBitmapButton;
class CColorLabel;
class CCutEditor;
class CDetailsArea;
class CExportQueueDlg;
class CGomxctrl1;
class CLoadCommands;
class CMarkBar;
class CMediaCommands;
class CProcessCommands;
class CRecordCommands;
class CSkinSlider;
class CUndoCommands;
class CWorkWindows;
class CViewPlayer;
class QComboBox;
class QLineEdit;
class QTableWidget;

// The program's one view: the main form with the player, position slider, mark bar, details
// labels, both panes, the mode selector and the command buttons, laid out from the form
// template in dialog units of the form's font. It hands the commands to the classes that carry
// them out (the mode and loading, the recordings, receiver media, the player, the merge,
// conversion and cut, undo), whose operations go through the session runner, and connects what
// they say happened to its controls, in one place.
class CVelmorixView : public CColorFormView {
    Q_OBJECT
public:
    explicit CVelmorixView(QWidget* parent = nullptr);
    ~CVelmorixView() override;

    // Sets up the recording session (both record stores), fonts, labels, mark bar, slider,
    // buttons and mode selector. The databases `databases` names start loading (as
    // LoadDatabases loads them) as soon as the session is ready, beside the rest of the set-up;
    // `loaded` runs once both have been tried, after the set-up.
    void OnInitialUpdate(const QStringList& databases = {}, std::function<void()> loaded = {});
    // Releases both record stores through the session (the frame calls it once, when it closes,
    // and never while an operation runs).
    void ReleaseRecordStores() { m_runner->Session().release(); }
    // Loads the databases named on the command line: the first into the left pane, then the
    // second into the right one, as L and R load them; `then` runs once both have been tried.
    void LoadDatabases(const QStringList& paths, std::function<void()> then = {});

    // The session, its worker and port, the view state and the panes; every recording command
    // goes through it.
    CSessionRunner& Runner() const { return *m_runner; }
    const vmx::MainViewState& State() const { return m_runner->State(); }
    CQtUserInterface& Ui() const { return m_runner->Ui(); }
    CViewPlayer& PlayerCommands() const { return *m_playerCommands; }
    CProcessCommands& ProcessCommands() const { return *m_processCommands; }
    // The export queue window, with the program's one export queue: made when first asked for,
    // or after the first paint when the queue's file holds jobs (those a restart interrupted run
    // again then).
    CExportQueueDlg& ExportQueueWindow();
    CCutEditor& CutEditor() const { return *m_cutEditor; }
    CAdFinder& AdFinder() const { return *m_adFinder; }
    CRecordCommands& RecordCommands() const { return *m_records; }
    CUndoCommands& UndoCommands() const { return *m_undo; }
    // Asks the recording transfer that runs to stop, as its copy window's Cancel does; false
    // when none runs.
    bool CancelCopy();
    // True while a recording transfer runs (the kind of operation that Cancel stops).
    bool CopyRunning() const { return Ui().CopyRunning(); }
    // True while a recording operation runs on the worker.
    bool IsBusy() const { return m_runner->IsBusy(); }

    // Switches a command's control on or off. While an operation runs the commands that start
    // one stay off (PA and S stay on), and come back as asked once it has ended.
    void EnableCommand(int id, bool enable);

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
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void CreateCommands();
    void ConnectCommands();
    void LayOut();
    void FitModeSelectorText();
    void ApplyEnabled(int id);
    // Shows the current mode in the mode selector (without running a mode switch) and applies
    // its buttons.
    void ShowMode();
    // Makes the export queue window when the queue's file holds jobs, so that they run.
    void ResumeExports();
    // The mark bar's menu, at `at` on the bar: Find ads, the cut list and its EDL files.
    void ShowMarkBarMenu(const QPoint& at);

    vmx::DialogBaseUnits m_units;
    QHash<int, QWidget*> m_controls;
    QHash<int, bool> m_wantEnabled;
    bool m_painted = false;
    CGomxctrl1* m_player = nullptr;
    CSkinSlider* m_slider = nullptr;
    CMarkBar* m_markBar = nullptr;
    QTableWidget* m_leftPane = nullptr;
    QTableWidget* m_rightPane = nullptr;
    QComboBox* m_modeSelector = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    // Declared after the runner they use, so they go first (once it has stopped its worker).
    std::unique_ptr<CSessionRunner> m_runner;
    std::unique_ptr<CDetailsArea> m_details;
    std::unique_ptr<CViewPlayer> m_playerCommands;
    std::unique_ptr<CCutEditor> m_cutEditor;
    std::unique_ptr<CAdFinder> m_adFinder;
    std::unique_ptr<CLoadCommands> m_load;
    std::unique_ptr<CRecordCommands> m_records;
    std::unique_ptr<CMediaCommands> m_media;
    std::unique_ptr<CExportQueueDlg> m_exportQueue;
    std::unique_ptr<CProcessCommands> m_processCommands;
    std::unique_ptr<CUndoCommands> m_undo;
    std::unique_ptr<CWorkWindows> m_workWindows;
};
