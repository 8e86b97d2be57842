#include "view/CTransferCommands.h"

#include "recording/Merge.h"
#include "view/CPaneCommands.h"
#include "view/CQtUserInterface.h"
#include "view/CSessionWorker.h"
#include "view/CVelmorixView.h"
#include "view/CViewPanes.h"
#include "view/FormTemplate.h"

namespace {

struct TransferOutcome {
    vmx::TransferResult result;
    vmx::PaneCopies copies;
};

} // namespace

CTransferCommands::CTransferCommands(CVelmorixView& view)
    : m_view(view)
{
}

void CTransferCommands::Transfer(int sourceSide)
{
    vmx::MainViewState& state = m_view.State();
    if (m_view.IsBusy())
        return;
    if (state.mode == vmx::ViewMode::Record) {
        TransferRecordings(sourceSide);
        return;
    }
    const auto kind = vmx::MediaKindOfMode(state.mode);
    if (!kind)
        return;
    if (sourceSide == vmx::kLeftSide)
        PutMedia(*kind);
    else
        GetMedia(*kind);
}

void CTransferCommands::TransferRecordings(int sourceSide)
{
    const int target = 1 - sourceSide;
    m_view.State().activeSide = sourceSide;
    m_view.Commands().OfferNewDb(sourceSide, [this, sourceSide, target](const vmx::OfferResult&) {
        vmx::MainViewState& state = m_view.State();
        // Declined, cancelled or failed: nothing is copied.
        if (!state.pane(target).loaded)
            return;
        state.activeSide = sourceSide;
        state.newDb = false;
        // The rows are taken now, once the offer has been answered, from the top.
        const std::vector<int> rows = m_view.Panes().SelectedRows(sourceSide);
        vmx::UserInterface& ui = m_view.Ui();
        m_view.Worker().Run<TransferOutcome>(
            [sourceSide, rows, &ui](vmx::RecordingSession& session) {
                TransferOutcome outcome{session.transferRecordings(sourceSide, rows, ui), {}};
                outcome.copies = vmx::CopyRefreshedPanes(session, outcome.result.refresh);
                return outcome;
            },
            [this, target](TransferOutcome outcome) {
                vmx::MainViewState& viewState = m_view.State();
                viewState.take(outcome.copies);
                for (const int side : {vmx::kLeftSide, vmx::kRightSide}) {
                    if (outcome.result.refresh.panes[std::size_t(side)])
                        m_view.Panes().FillRecordPane(side);
                }
                viewState.activeSide = target;
                // A database another program changed meanwhile was not written: the pane shows it
                // as it is on disk now.
                m_view.Commands().ReloadChanged(outcome.result.refresh);
            });
    });
}

void CTransferCommands::PutMedia(vmx::MediaKind kind)
{
    std::vector<std::string> paths;
    for (const int row : m_view.Panes().SelectedRows(vmx::kLeftSide)) {
        if (const vmx::PcMediaFile* file = m_view.State().pending.at(kind, row))
            paths.push_back(file->path);
    }
    // The wait window shows (and closes) even when nothing was selected.
    m_view.Commands().ChangeReceiverFiles(kind, [kind, paths](vmx::RecordingSession& session, vmx::UserInterface& ui) {
        return session.media().putMedia(kind, paths, ui);
    });
}

void CTransferCommands::GetMedia(vmx::MediaKind kind)
{
    vmx::MainViewState& state = m_view.State();
    std::vector<std::string> names;
    for (const int row : m_view.Panes().SelectedRows(vmx::kRightSide)) {
        if (row >= 0 && std::size_t(row) < state.receiverFiles.files.size())
            names.push_back(state.receiverFiles.files[std::size_t(row)].name);
    }
    // The PC folder is asked once and kept for the life of the view.
    if (state.pcTargetFolder.empty()) {
        state.pcTargetFolder = m_view.Ui().chooseFolder(vmx::kChooseOutputFolderTitle, state.pcTargetFolder);
        m_view.Panes().SetCaption(vmx::kLeftSide, state.pcTargetFolder);
        if (state.pcTargetFolder.empty())
            return;
    }
    const std::string folder = state.pcTargetFolder;
    vmx::UserInterface& ui = m_view.Ui();
    // "Operation Complete" (or what failed) is said by the copy itself; no pane changes.
    m_view.Worker().Run<vmx::MediaResult>(
        [kind, names, folder, &ui](vmx::RecordingSession& session) { return session.media().getMedia(kind, names, folder, ui); },
        [](vmx::MediaResult) {});
}
