#pragma once

#include "recording/ReceiverDisk.h"
#include "viewmodel/ViewMode.h"
#include "recording/RecordingSession.h"

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class CVelmorixView;

// The main view's commands on what the panes hold: the mode switch, a click on a row, L and R,
// RE, J and M, the Delete key, loading the databases named on the command line, and the offer of
// a new database that the transfers make. Everything that reads or writes the receiver's disk runs
// on the view's session worker; the panes are painted again from the copies it hands back.
class CPaneCommands : public QObject {
    Q_OBJECT
public:
    explicit CPaneCommands(CVelmorixView& view);

    void SwitchMode(int index);
    void RowClicked(int side, int row);
    void Load(int side);  // L (left) and R (right)
    // Loads `path` into a pane as L or R does once the file is chosen (an empty path: the dialog
    // was cancelled), then calls `then` (also when the load was refused or failed).
    void LoadFile(int side, const std::string& path, std::function<void()> then = {});
    // Loads again, one after the other, the panes whose database another program changed under
    // an operation (that operation wrote nothing over it).
    void ReloadChanged(const vmx::PaneRefresh& refresh);
    // Runs a change of the receiver's MP3 or IMAGE folder on the worker; when the change says it
    // touched the folder, lists it again and refills the right pane.
    using ReceiverChange = std::function<vmx::MediaResult(vmx::RecordingSession&, vmx::UserInterface&)>;
    void ChangeReceiverFiles(vmx::MediaKind kind, ReceiverChange change);
    void Rename();                          // RE
    void ChoosePcFiles(vmx::MediaKind kind);  // J and M
    void Delete(int side);                  // the Delete key in a pane
    // Offers an empty database to the pane opposite `sourceSide` when it has none; `then` hears
    // the outcome once the user has answered.
    void OfferNewDb(int sourceSide, std::function<void(const vmx::OfferResult&)> then);

    // Empties both panes and sets their columns and captions for the mode.
    void SetUpPanes(vmx::ViewMode mode);

private:
    void FillRecordPanes();
    // A record pane was painted again with its current recording at `row` (-1: gone).
    void CurrentRowMoved(int side, int row);
    void ListReceiverFolder(vmx::MediaKind kind);
    void FallBackToRecordMode();
    void DeleteRecordings(int side, const std::vector<int>& rows);
    void DeleteReceiverFiles(vmx::MediaKind kind, const std::vector<int>& rows);

    CVelmorixView& m_view;
    int m_detailsSide = -1;  // the side whose current recording the details area shows, or -1
};
