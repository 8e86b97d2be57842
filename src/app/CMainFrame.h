#pragma once

#include <QMainWindow>

class CVelmorixView;

// The main window: the view fills it; no menu bar, toolbar or status bar. Closing it releases
// the record stores once, before the window goes; while a recording operation runs, the window
// closes when it has ended.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame();
    CVelmorixView* View() const { return m_view; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CVelmorixView* m_view;
    bool m_storesReleased = false;
    bool m_closeWhenIdle = false;
};
