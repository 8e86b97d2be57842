#pragma once

#include "convert/AdSearch.h"

#include <QObject>
#include <QPointer>
#include <QProgressDialog>

#include <string>

class CCutEditor;
class QWidget;

namespace vmx {
struct AdSearchOutcome;
struct MainViewState;
class UserInterface;
}

// Find ads: looks for the blocks of advertising of the selected recording beside the main window
// (a small window shows how far it has got, with Cancel, and the main window stays usable) and
// puts the blocks found on the recording's cut list as proposals for the user to check. One
// recording at a time; asked again meanwhile, it brings its window to the front.
class CAdFinder : public QObject {
    Q_OBJECT
public:
    CAdFinder(vmx::MainViewState& state, CCutEditor& cutEditor, vmx::UserInterface& ui, QWidget* window);
    ~CAdFinder() override;

    void Find();
    bool Running() const { return m_running; }
    // The window that shows how far the search has got, while it runs.
    QProgressDialog* ProgressWindow() const { return m_progress; }

private:
    void Finished(const vmx::AdSearchOutcome& outcome);

    vmx::MainViewState& m_state;
    CCutEditor& m_cutEditor;
    vmx::UserInterface& m_ui;
    QWidget* m_window;
    // The recording searched: its cut list's key (its first part file) and its name.
    std::string m_key;
    std::string m_name;
    QPointer<QProgressDialog> m_progress;
    bool m_running = false;
    // Last, so that it is stopped (and its thread joined) before the rest goes.
    vmx::AdSearch m_search;
};
