#pragma once

#include <QMainWindow>

class CVelmorixView;

// The main window: the view fills it; no menu bar, toolbar or status bar. Closing it releases
// the record stores once, before the window goes. While a recording operation runs, closing asks
// first: a copy is stopped cleanly, anything else is waited for, and the window closes when the
// operation has ended; or, answered No, the window stays and the operation goes on. Then what
// the undo folders of the databases this run changed hold is kept or emptied (CUndoCommands).
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kStopCopyQuestion =
        "Recordings are still being copied. Stop the copy and close?\n"
        "The recording being copied is taken back; those already copied stay.";
    static constexpr const char* kCloseWhenDoneQuestion =
        "An operation on the receiver's disk is still running. Close when it has finished?";

    CMainFrame();
    CVelmorixView* View() const { return m_view; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CVelmorixView* m_view;
    bool m_storesReleased = false;
    bool m_closeWhenIdle = false;
    bool m_undoSettled = false;  // what undo holds was kept or emptied, as the user wants
};
