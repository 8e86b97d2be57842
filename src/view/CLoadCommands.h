#pragma once

#include "recording/PaneRefresh.h"
#include "recording/ReceiverDisk.h"
#include "viewmodel/ViewMode.h"

#include <QObject>

#include <functional>
#include <string>

namespace vmx {
struct LoadResult;
}

class CDetailsArea;
class CSessionRunner;
class CViewPlayer;
class QWidget;

// What the panes show: the mode switch, a click on a row, L and R, loading the databases named on
// the command line, and loading again the databases another program changed.
class CLoadCommands : public QObject {
    Q_OBJECT
public:
    // `dialogParent`: the window over which the file dialog opens.
    CLoadCommands(CSessionRunner& runner, CDetailsArea& details, CViewPlayer& player, QWidget* dialogParent)
        : m_runner(runner), m_details(details), m_player(player), m_dialogParent(dialogParent) {}

    void SwitchMode(int index);
    void RowClicked(int side, int row);
    // A record pane was painted again with its current recording at `row` (-1: gone).
    void CurrentRowMoved(int side, int row);
    void Load(int side);  // L (left) and R (right)
    // Loads `path` into a pane as L or R does once the file is chosen (an empty path: the dialog
    // was cancelled), then calls `then` (also when the load was refused or failed).
    void LoadFile(int side, const std::string& path, std::function<void()> then = {});
    // Loads `left` into the left pane and then `right` (unless empty) into the right one, as
    // LoadFile loads each, in one operation: the second load does not wait for the window to
    // show the first. `then` runs once both have been tried.
    void LoadFiles(const std::string& left, const std::string& right, std::function<void()> then = {});
    // Loads again, one after the other, the panes whose database another program changed under
    // an operation (that operation wrote nothing over it).
    void ReloadChanged(const vmx::PaneRefresh& refresh);
    // Empties both panes and sets their columns and captions for the mode.
    void SetUpPanes(vmx::ViewMode mode);

signals:
    // A command's control goes on or off (as CVelmorixView::EnableCommand).
    void commandEnabled(int id, bool enable);
    // The mode was switched, or kept after a refusal: the selector shows it, its buttons apply.
    void modeChanged();
    // The MP3 or JPEG MODE was chosen: the receiver's folder of the kind is to be listed.
    void mediaModeEntered(vmx::MediaKind kind);

private:
    void FillRecordPanes();
    // What the window does once the load of `path` into the pane of `side` has ended.
    void Loaded(int side, const std::string& path, const vmx::LoadResult& result);

    CSessionRunner& m_runner;
    CDetailsArea& m_details;
    CViewPlayer& m_player;
    QWidget* m_dialogParent;
    int m_detailsSide = -1;  // the side whose current recording the details area shows, or -1
};
