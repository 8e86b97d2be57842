#pragma once

#include "recording/RecordingSession.h"

#include <QObject>
#include <QStringList>

#include <functional>

class CSessionRunner;
class CViewPlayer;

// The MP3 and JPEG MODEs: the receiver's folder of the kind listed in the right pane, the PC files
// waiting for the receiver in the left one (chosen with J and M or dropped from a file manager),
// AL putting them onto the receiver and AR getting receiver files onto the PC, both with the wait
// window, and the Delete key in either pane. Every change of the receiver's folder runs on the
// session worker and is followed by a new listing.
class CMediaCommands : public QObject {
    Q_OBJECT
public:
    CMediaCommands(CSessionRunner& runner, CViewPlayer& player) : m_runner(runner), m_player(player) {}

    // Lists the receiver's folder of `kind` (found, or chosen by the user; made when missing).
    void ListReceiverFolder(vmx::MediaKind kind);
    void ChoosePcFiles(vmx::MediaKind kind);  // J and M
    // Files dropped on the left pane from a file manager join the PC files of the current mode.
    void DropPcFiles(const QStringList& paths);
    void PutMedia(vmx::MediaKind kind);  // AL: the selected PC files onto the receiver
    void GetMedia(vmx::MediaKind kind);  // AR: the selected receiver files onto the PC
    // The Delete key: PC files leave the left pane's list; receiver files are deleted.
    void Delete(vmx::MediaKind kind, int side);

signals:
    // The receiver's folder could not be found, chosen or made: the user was told why.
    void receiverFolderMissing();

private:
    // Runs a change of the receiver's folder on the worker; when the change says it touched the
    // folder, lists it again and refills the right pane.
    void ChangeReceiverFiles(vmx::MediaKind kind,
                             std::function<vmx::MediaResult(vmx::RecordingSession&, vmx::UserInterface&)> change);
    void ShowListing(const vmx::MediaListing& listing);
    // The names of the receiver's files at the right pane's `rows`.
    std::vector<std::string> ReceiverNames(const std::vector<int>& rows) const;

    CSessionRunner& m_runner;
    CViewPlayer& m_player;
};
