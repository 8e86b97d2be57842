#include "view/CPaneCommands.h"

#include "common/FilePaths.h"
#include "dialogs/CSettingDlg.h"
#include "convert/RememberedDestination.h"
#include "convert/UserFolders.h"
#include "recording/PlaybackParts.h"
#include "recording/ReceiverDisk.h"
#include "view/CDetailsArea.h"
#include "view/CQtUserInterface.h"
#include "view/CSessionWorker.h"
#include "view/CVelmorixView.h"
#include "view/CViewPanes.h"
#include "view/CViewPlayer.h"
#include "view/FormTemplate.h"
#include "view/SessionOutcome.h"
#include "viewmodel/PaneTexts.h"

#include <optional>

namespace {

template <typename Result>
using Outcome = SessionOutcome<Result>;

// The receiver's folder of a kind listed, or made when it is missing.
struct ReceiverFolder {
    bool listed = false;
    vmx::MediaListing listing;
};

// The receiver's media folder listed again after a change.
struct Relisted {
    bool listed = false;
    vmx::MediaListing listing;
};

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

CPaneCommands::CPaneCommands(CVelmorixView& view)
    : m_view(view)
{
    connect(&m_view.Panes(), &CViewPanes::currentRowMoved, this, &CPaneCommands::CurrentRowMoved);
}

void CPaneCommands::CurrentRowMoved(int side, int row)
{
    // The commands act on the recording the pane shows as current, at whatever row it is now; the
    // details area lets go of a recording that is gone.
    m_view.State().selected(side) = row;
    if (row < 0 && m_detailsSide == side) {
        m_view.Details().Clear();
        m_detailsSide = -1;
    }
}

void CPaneCommands::SetUpPanes(vmx::ViewMode mode)
{
    m_view.Panes().SetUp(mode);
    m_view.Details().ClearName();
    m_detailsSide = -1;
    if (mode == vmx::ViewMode::Record) {
        m_view.State().pending.clear(vmx::MediaKind::Image);
    } else if (const auto lines = vmx::PaneSetupFor(mode).detailsLines) {
        m_view.Details().ShowMediaLines(*lines);
    }
}

void CPaneCommands::SwitchMode(int index)
{
    vmx::MainViewState& state = m_view.State();
    if (m_view.PlayerCommands().IsRunning()) {
        // The panes keep their rows, columns and captions, and the mode stays what it was.
        m_view.Ui().showMessage(vmx::kWhileMessage);
        m_view.SelectModeEntry(int(state.mode));
        return;
    }
    state.mode = vmx::ModeOfIndex(index);
    SetUpPanes(state.mode);
    m_view.EnableButtonsForMode();
    if (const auto kind = vmx::MediaKindOfMode(state.mode)) {
        m_view.Panes().FillPendingPane();
        ListReceiverFolder(*kind);
    } else if (state.mode == vmx::ViewMode::Record) {
        FillRecordPanes();
    }
}

void CPaneCommands::FillRecordPanes()
{
    for (const int side : {vmx::kLeftSide, vmx::kRightSide}) {
        m_view.State().activeSide = side;
        m_view.Panes().FillRecordPane(side);
        // The media modes named the panes "PC" and "PVR USB ..."; a loaded pane names its database again.
        if (const vmx::PaneCopy& pane = m_view.State().pane(side); pane.loaded)
            m_view.Panes().SetCaption(side, vmx::PaneCaption(pane.dbPath));
    }
}

void CPaneCommands::ListReceiverFolder(vmx::MediaKind kind)
{
    vmx::UserInterface& ui = m_view.Ui();
    m_view.Worker().Run<ReceiverFolder>(
        [kind, &ui](vmx::RecordingSession& session) {
            ReceiverFolder folder;
            const std::string root = FindOrChooseReceiver(session, ui);
            if (root.empty())
                return folder;
            // The receiver has no such folder yet: it is made (the user is told why when that
            // fails), and then listed, empty.
            if (!vmx::HasReceiverFolder(root, kind) && !session.media().ensureMediaFolder(kind, ui))
                return folder;
            folder.listing = session.media().listMedia(kind, ui);
            folder.listed = folder.listing.ok;
            return folder;
        },
        [this](ReceiverFolder folder) {
            if (!folder.listed) {
                FallBackToRecordMode();
                return;
            }
            m_view.State().receiverFiles = folder.listing;
            m_view.Panes().FillReceiverPane();
        });
}

void CPaneCommands::FallBackToRecordMode()
{
    // Without the receiver's folder the media mode has nothing to show: the view goes back to
    // RECORD MODE, and its selector with it, so that choosing the media mode again tries anew.
    SwitchMode(int(vmx::ViewMode::Record));
    m_view.SelectModeEntry(int(m_view.State().mode));
}

void CPaneCommands::RowClicked(int side, int row)
{
    vmx::MainViewState& state = m_view.State();
    state.selected(side) = row;
    state.activeSide = side;
    const vmx::RowClickEffect effect = vmx::RowClick(side, row, state.mode, state.pane(side).loaded);
    if (effect.showDetails) {
        if (const vmx::RecordDetails* details = state.pane(side).detailsAt(row)) {
            m_view.Details().ShowRecord(*details);
            m_detailsSide = side;
        }
    }
    if (effect.transferLeftToRight)
        m_view.EnableCommand(ControlId::kTransferLeftToRight, *effect.transferLeftToRight);
    if (effect.transferRightToLeft)
        m_view.EnableCommand(ControlId::kTransferRightToLeft, *effect.transferRightToLeft);
}

void CPaneCommands::Load(int side)
{
    m_view.State().mode = vmx::ViewMode::Record;
    if (m_view.PlayerCommands().IsRunning()) {
        m_view.Ui().showMessage(vmx::kLoadWhilePlayingMessage);
        return;
    }
    LoadFile(side, CQtUserInterface::ChooseExistingFile(&m_view, vmx::kDbFileFilter));
}

void CPaneCommands::LoadFile(int side, const std::string& path, std::function<void()> then)
{
    vmx::UserInterface& ui = m_view.Ui();
    if (path.empty()) {
        // Cancelled: the pane's timing list is built again all the same, and PR enabled.
        m_view.Worker().Run<Outcome<vmx::PaneRefresh>>(
            [side, &ui](vmx::RecordingSession& session) {
                vmx::PaneRefresh refresh = session.rebuildTiming(side, ui);
                return WithCopies(session, refresh, refresh);
            },
            [this, side, then](Outcome<vmx::PaneRefresh> outcome) {
                m_view.State().take(outcome.copies);
                if (m_view.State().mode == vmx::ViewMode::Record)
                    m_view.Panes().FillRecordPane(side);
                m_view.EnableCommand(ControlId::kCut, true);
                if (then)
                    then();
            });
        return;
    }
    m_view.Worker().Run<Outcome<vmx::LoadResult>>(
        [side, path, &ui](vmx::RecordingSession& session) {
            vmx::LoadResult result = session.loadPane(side, path, ui);
            const vmx::PaneRefresh refresh = result.refresh;
            return WithCopies(session, std::move(result), refresh);
        },
        [this, side, path, then](Outcome<vmx::LoadResult> outcome) {
            // A refused or unreadable database was named to the user; the pane keeps what it
            // showed, its database, records and timing list.
            if (outcome.result.ok) {
                m_view.State().take(outcome.copies);
                m_view.State().renameRow = -1;  // another database's rows
                m_view.Panes().ForgetCurrent(side);
                // A load into the left pane reloads encoding-custom.ini into the current encoder
                // settings: the settings dialog does that when it is constructed, and is gone
                // again unshown (without a run it starts, stops and waits for nothing).
                std::optional<CSettingDlg> settings;
                if (side == vmx::kLeftSide)
                    settings.emplace(&m_view);
                m_view.Panes().FillRecordPane(side);
                m_view.Panes().SetCaption(side, vmx::PaneCaption(path));
                m_view.EnableCommand(ControlId::kCut, true);
            }
            if (then)
                then();
        });
}

void CPaneCommands::Rename()
{
    vmx::MainViewState& state = m_view.State();
    const int side = state.activeSide;
    // The panes list recordings only in RECORD MODE; elsewhere their rows name files.
    if (state.mode != vmx::ViewMode::Record || !state.pane(side).loaded)
        return;
    if (const std::vector<int> rows = m_view.Panes().SelectedRows(side); !rows.empty())
        state.renameRow = rows.back();
    // Nothing selected, and the row renamed last is gone with a delete or a load: its number may
    // now hold another recording, which the user never chose.
    if (state.renameRow < 0)
        return;
    const int row = state.renameRow;
    const vmx::RecordDetails* details = state.pane(side).detailsAt(row);
    const std::string& storedName = details ? details->nameBytes : std::string();
    if (const std::string refusal = vmx::RenameRefusal(m_view.Details().NameText(), storedName); !refusal.empty()) {
        m_view.Ui().showMessage(refusal);
        return;
    }
    const std::string name = vmx::NameBytesForRename(m_view.Details().NameText(), storedName);
    vmx::UserInterface& ui = m_view.Ui();
    m_view.Worker().Run<Outcome<vmx::RenameResult>>(
        [side, row, name, &ui](vmx::RecordingSession& session) {
            vmx::RenameResult result = session.renameRow(side, row, name, ui);
            const vmx::PaneRefresh refresh = result.refresh;
            return WithCopies(session, std::move(result), refresh);
        },
        [this, side](Outcome<vmx::RenameResult> outcome) {
            // Refused because another program changed the database: the pane shows it as it is.
            ReloadChanged(outcome.result.refresh);
            if (!outcome.result.ok)
                return;
            m_view.State().take(outcome.copies);
            m_view.Panes().FillRecordPane(side);
        });
}

void CPaneCommands::ChoosePcFiles(vmx::MediaKind kind)
{
    vmx::MainViewState& state = m_view.State();
    state.mode = kind == vmx::MediaKind::Mp3 ? vmx::ViewMode::Mp3 : vmx::ViewMode::Jpeg;
    const std::vector<std::string> paths =
        m_view.Ui().chooseFiles("", kind == vmx::MediaKind::Mp3 ? vmx::kMp3FileFilter : vmx::kJpegFileFilter);
    if (!paths.empty())
        state.pending.replace(kind, paths);
    m_view.Panes().FillPendingPane();
}

void CPaneCommands::Delete(int side)
{
    const vmx::MainViewState& state = m_view.State();
    if (side != state.activeSide || m_view.IsBusy())
        return;
    const std::vector<int> rows = m_view.Panes().SelectedRows(side);
    const auto kind = vmx::MediaKindOfMode(state.mode);
    if (!kind) {
        DeleteRecordings(side, rows);
    } else if (side == vmx::kLeftSide) {
        // The left pane lists PC files waiting for the receiver: they leave the list, and no file
        // anywhere is touched.
        m_view.State().pending.remove(*kind, rows);
        m_view.Panes().FillPendingPane();
    } else {
        DeleteReceiverFiles(*kind, rows);
    }
}

void CPaneCommands::DeleteRecordings(int side, const std::vector<int>& rows)
{
    const vmx::PaneCopy& pane = m_view.State().pane(side);
    if (!pane.loaded)
        return;
    // The recording being played goes with its files: the player lets go of them first.
    for (const int row : rows) {
        const vmx::RecordDetails* details = pane.detailsAt(row);
        if (details && m_view.State().playback.isPlaying(vmx::PartPathOf(*details, 0))) {
            m_view.PlayerCommands().Release();
            break;
        }
    }
    vmx::UserInterface& ui = m_view.Ui();
    m_view.Worker().Run<Outcome<vmx::DeleteResult>>(
        [side, rows, &ui](vmx::RecordingSession& session) {
            vmx::DeleteResult result = session.deleteRows(side, rows, ui);
            const vmx::PaneRefresh refresh = result.refresh;
            return WithCopies(session, std::move(result), refresh);
        },
        [this, side](Outcome<vmx::DeleteResult> outcome) {
            m_view.State().take(outcome.copies);
            m_view.State().renameRow = -1;  // the rows below the deleted ones moved up
            m_view.Panes().FillRecordPane(side);
            ReloadChanged(outcome.result.refresh);
        });
}

void CPaneCommands::DeleteReceiverFiles(vmx::MediaKind kind, const std::vector<int>& rows)
{
    const vmx::MediaListing& listing = m_view.State().receiverFiles;
    std::vector<std::string> names;
    for (const int row : rows) {
        if (row >= 0 && std::size_t(row) < listing.files.size())
            names.push_back(listing.files[std::size_t(row)].name);
    }
    if (names.empty())
        return;
    for (const std::string& name : names) {
        if (m_view.PlayerCommands().Shows(listing.folder + "/" + name))
            m_view.PlayerCommands().Release();
    }
    // A file that could not be deleted is named to the user and keeps its row.
    ChangeReceiverFiles(kind, [kind, names](vmx::RecordingSession& session, vmx::UserInterface& ui) {
        return session.media().deleteMedia(kind, names, ui);
    });
}

void CPaneCommands::ChangeReceiverFiles(vmx::MediaKind kind, ReceiverChange change)
{
    vmx::UserInterface& ui = m_view.Ui();
    m_view.Worker().Run<Relisted>(
        [kind, change = std::move(change), &ui](vmx::RecordingSession& session) {
            Relisted relisted;
            if (change(session, ui).refresh.receiverFiles) {
                relisted.listing = session.media().listMedia(kind, ui);
                relisted.listed = relisted.listing.ok;
            }
            return relisted;
        },
        [this](Relisted relisted) {
            if (!relisted.listed)
                return;
            m_view.State().receiverFiles = relisted.listing;
            m_view.Panes().FillReceiverPane();
        });
}

void CPaneCommands::OfferNewDb(int sourceSide, std::function<void(const vmx::OfferResult&)> then)
{
    const int target = 1 - sourceSide;
    m_view.State().activeSide = target;
    vmx::UserInterface& ui = m_view.Ui();
    m_view.Worker().Run<Outcome<vmx::OfferResult>>(
        [target, &ui](vmx::RecordingSession& session) {
            vmx::OfferResult result = session.offerNewDb(target, ui);
            const vmx::PaneRefresh refresh = result.refresh;
            return WithCopies(session, std::move(result), refresh);
        },
        [this, target, then](Outcome<vmx::OfferResult> outcome) {
            vmx::MainViewState& state = m_view.State();
            state.take(outcome.copies);
            if (outcome.result.outcome == vmx::OfferResult::Outcome::Created) {
                state.newDb = true;
                state.newDbFileName = vmx::FileNameOfPath(outcome.result.dbPath);
                state.renameRow = -1;
                m_view.Panes().ForgetCurrent(target);
                m_view.Panes().SetCaption(target, outcome.result.dbPath);
                m_view.Panes().FillRecordPane(target);
            }
            if (then)
                then(outcome.result);
        });
}

void CPaneCommands::ReloadChanged(const vmx::PaneRefresh& refresh)
{
    // One load at a time: the right pane's after the left one's.
    const auto reload = [this](int side, std::function<void()> then) {
        LoadFile(side, m_view.State().pane(side).dbPath, std::move(then));
    };
    const bool left = refresh.reloads[std::size_t(vmx::kLeftSide)];
    const bool right = refresh.reloads[std::size_t(vmx::kRightSide)];
    if (left)
        reload(vmx::kLeftSide, right ? std::function<void()>([reload] { reload(vmx::kRightSide, {}); })
                                     : std::function<void()>());
    else if (right)
        reload(vmx::kRightSide, {});
}
