#include "view/CMediaCommands.h"

#include "convert/RememberedDestination.h"
#include "convert/UserFolders.h"
#include "recording/RecordingSession.h"
#include "view/CSessionRunner.h"
#include "view/CViewPanes.h"
#include "view/CViewPlayer.h"

#include <QFile>

namespace {

// The receiver's root as the session finds it (the disk of a loaded database, a mounted volume, the
// folder chosen before). Failing that, the user is offered a folder chooser, and the choice is kept
// for this and later runs. Empty when there is none (the user was told).
std::string FindOrChooseReceiver(vmx::RecordingSession& session, vmx::UserInterface& ui)
{
    session.setRememberedReceiver(vmx::RememberedReceiver());
    std::string error;
    if (std::string root = session.receiverRoot(error); !root.empty())
        return root;
    // A folder named with --receiver that is not there is the user's own mistake: said, not asked.
    if (session.hasReceiverOverride()) {
        ui.showMessage(error);
        return {};
    }
    const std::string chosen = ui.chooseFolder(vmx::kChooseReceiverTitle, vmx::HomeFolder());
    if (chosen.empty()) {
        ui.showMessage(vmx::kNoReceiverMessage);
        return {};
    }
    session.setRememberedReceiver(chosen);
    if (const std::string notKept = vmx::RememberReceiver(chosen); !notKept.empty())
        ui.showMessage("The receiver's folder is used, but it will be asked for again at the next start: " + notKept);
    return chosen;
}

} // namespace

void CMediaCommands::ShowListing(const vmx::MediaListing& listing)
{
    m_runner.State().receiverFiles = listing;
    m_runner.Panes().FillReceiverPane();
}

void CMediaCommands::ListReceiverFolder(vmx::MediaKind kind)
{
    m_runner.Run<vmx::MediaListing>(
        [kind](vmx::RecordingSession& session, vmx::UserInterface& ui) {
            const std::string root = FindOrChooseReceiver(session, ui);
            // The receiver has no such folder yet: it is made (the user is told why when that
            // fails), and then listed, empty.
            if (root.empty() || (!vmx::HasReceiverFolder(root, kind) && !session.media().ensureMediaFolder(kind, ui)))
                return vmx::MediaListing{};
            return session.media().listMedia(kind, ui);
        },
        [this](const vmx::MediaListing& listing) {
            if (listing.ok)
                ShowListing(listing);
            else
                emit receiverFolderMissing();
        });
}

void CMediaCommands::ChangeReceiverFiles(
    vmx::MediaKind kind, std::function<vmx::MediaResult(vmx::RecordingSession&, vmx::UserInterface&)> change)
{
    m_runner.Run<vmx::MediaListing>(
        [kind, change = std::move(change)](vmx::RecordingSession& session, vmx::UserInterface& ui) {
            return change(session, ui).refresh.receiverFiles ? session.media().listMedia(kind, ui) : vmx::MediaListing{};
        },
        [this](const vmx::MediaListing& listing) {
            if (listing.ok)
                ShowListing(listing);
        });
}

void CMediaCommands::ChoosePcFiles(vmx::MediaKind kind)
{
    vmx::MainViewState& state = m_runner.State();
    state.mode = kind == vmx::MediaKind::Mp3 ? vmx::ViewMode::Mp3 : vmx::ViewMode::Jpeg;
    const std::vector<std::string> paths =
        m_runner.Ui().chooseFiles("", kind == vmx::MediaKind::Mp3 ? vmx::kMp3FileFilter : vmx::kJpegFileFilter);
    if (!paths.empty())
        state.pending.replace(kind, paths);
    m_runner.Panes().FillPendingPane();
}

void CMediaCommands::DropPcFiles(const QStringList& paths)
{
    const auto kind = vmx::MediaKindOfMode(m_runner.State().mode);
    if (!kind)
        return;
    std::vector<std::string> local;
    for (const QString& path : paths)
        local.push_back(QFile::encodeName(path).toStdString());
    if (m_runner.State().pending.add(*kind, local) > 0)
        m_runner.Panes().FillPendingPane();
}

std::vector<std::string> CMediaCommands::ReceiverNames(const std::vector<int>& rows) const
{
    const std::vector<vmx::MediaFileEntry>& files = m_runner.State().receiverFiles.files;
    std::vector<std::string> names;
    for (const int row : rows) {
        if (row >= 0 && std::size_t(row) < files.size())
            names.push_back(files[std::size_t(row)].name);
    }
    return names;
}

void CMediaCommands::Delete(vmx::MediaKind kind, int side)
{
    const std::vector<int> rows = m_runner.Panes().SelectedRows(side);
    if (side == vmx::kLeftSide) {
        // The left pane lists PC files waiting for the receiver: they leave the list, and no file
        // anywhere is touched.
        m_runner.State().pending.remove(kind, rows);
        m_runner.Panes().FillPendingPane();
        return;
    }
    const std::vector<std::string> names = ReceiverNames(rows);
    if (names.empty())
        return;
    for (const std::string& name : names) {
        if (m_player.Shows(m_runner.State().receiverFiles.folder + "/" + name))
            m_player.Release();
    }
    // A file that could not be deleted is named to the user and keeps its row.
    ChangeReceiverFiles(kind, [kind, names](vmx::RecordingSession& session, vmx::UserInterface& ui) {
        return session.media().deleteMedia(kind, names, ui);
    });
}

void CMediaCommands::PutMedia(vmx::MediaKind kind)
{
    std::vector<std::string> paths;
    for (const int row : m_runner.Panes().SelectedRows(vmx::kLeftSide)) {
        if (const vmx::PcMediaFile* file = m_runner.State().pending.at(kind, row))
            paths.push_back(file->path);
    }
    // The wait window shows (and closes) even when nothing was selected.
    ChangeReceiverFiles(kind, [kind, paths](vmx::RecordingSession& session, vmx::UserInterface& ui) {
        return session.media().putMedia(kind, paths, ui);
    });
}

void CMediaCommands::GetMedia(vmx::MediaKind kind)
{
    vmx::MainViewState& state = m_runner.State();
    const std::vector<std::string> names = ReceiverNames(m_runner.Panes().SelectedRows(vmx::kRightSide));
    // The PC folder is asked once and kept for the life of the view.
    if (state.pcTargetFolder.empty()) {
        state.pcTargetFolder = m_runner.Ui().chooseFolder(vmx::kChooseOutputFolderTitle, state.pcTargetFolder);
        m_runner.Panes().SetCaption(vmx::kLeftSide, state.pcTargetFolder);
        if (state.pcTargetFolder.empty())
            return;
    }
    // "Operation Complete" (or what failed) is said by the copy itself; no pane changes.
    m_runner.Run<vmx::MediaResult>([kind, names, folder = state.pcTargetFolder](vmx::RecordingSession& session,
                                                                                vmx::UserInterface& ui) {
        return session.media().getMedia(kind, names, folder, ui);
    });
}
