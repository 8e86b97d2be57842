#include "view/CRecordCommands.h"

#include "common/FilePaths.h"
#include "recording/PlaybackParts.h"
#include "view/CDetailsArea.h"
#include "view/CSessionRunner.h"
#include "view/CViewPanes.h"
#include "view/CViewPlayer.h"
#include "viewmodel/PaneTexts.h"

void CRecordCommands::Rename()
{
    vmx::MainViewState& state = m_runner.State();
    const int side = state.activeSide;
    // The panes list recordings only in RECORD MODE; elsewhere their rows name files.
    if (state.mode != vmx::ViewMode::Record || !state.pane(side).loaded)
        return;
    if (const std::vector<int> rows = m_runner.Panes().SelectedRows(side); !rows.empty())
        state.renameRow = rows.back();
    // Nothing selected, and the row renamed last is gone with a delete or a load: its number may
    // now hold another recording, which the user never chose.
    if (state.renameRow < 0)
        return;
    const int row = state.renameRow;
    const vmx::RecordDetails* details = state.pane(side).detailsAt(row);
    const std::string& storedName = details ? details->nameBytes : std::string();
    if (const std::string refusal = vmx::RenameRefusal(m_details.NameText(), storedName); !refusal.empty()) {
        m_runner.Ui().showMessage(refusal);
        return;
    }
    // Refused because another program changed the database: the pane is loaded as it is now.
    const std::string name = vmx::NameBytesForRename(m_details.NameText(), storedName);
    m_runner.Run<vmx::RenameResult>([side, row, name](vmx::RecordingSession& session, vmx::UserInterface& ui) {
        return session.renameRow(side, row, name, ui);
    });
}

void CRecordCommands::Delete(int side)
{
    const vmx::PaneCopy& pane = m_runner.State().pane(side);
    if (!pane.loaded)
        return;
    const std::vector<int> rows = m_runner.Panes().SelectedRows(side);
    // The recording being played goes with its files: the player lets go of them first.
    for (const int row : rows) {
        const vmx::RecordDetails* details = pane.detailsAt(row);
        if (details && m_runner.State().playback.isPlaying(vmx::PartPathOf(*details, 0))) {
            m_player.Release();
            break;
        }
    }
    m_runner.Run<vmx::DeleteResult>(
        [side, rows](vmx::RecordingSession& session, vmx::UserInterface& ui) {
            vmx::DeleteResult result = session.deleteRows(side, rows, ui);
            result.refresh.pane(side);  // painted again also when nothing went: one row stays selected at most
            return result;
        },
        [this](const vmx::DeleteResult&) { m_runner.State().renameRow = -1; });  // the rows below moved up
}

void CRecordCommands::Transfer(int sourceSide)
{
    const int target = 1 - sourceSide;
    OfferNewDb(sourceSide, [this, sourceSide, target](const vmx::OfferResult&) {
        vmx::MainViewState& state = m_runner.State();
        // Declined, cancelled or failed: nothing is copied.
        if (!state.pane(target).loaded)
            return;
        state.activeSide = sourceSide;
        state.newDb = false;
        // The rows are taken now, once the offer has been answered, from the top.
        const std::vector<int> rows = m_runner.Panes().SelectedRows(sourceSide);
        m_runner.Run<vmx::TransferResult>(
            [sourceSide, rows](vmx::RecordingSession& session, vmx::UserInterface& ui) {
                return session.transferRecordings(sourceSide, rows, ui);
            },
            [this, target](const vmx::TransferResult&) { m_runner.State().activeSide = target; });
    });
}

void CRecordCommands::OfferNewDb(int sourceSide, std::function<void(const vmx::OfferResult&)> then)
{
    const int target = 1 - sourceSide;
    m_runner.State().activeSide = target;
    m_runner.Run<vmx::OfferResult>(
        [target](vmx::RecordingSession& session, vmx::UserInterface& ui) { return session.offerNewDb(target, ui); },
        [this, target, then = std::move(then)](const vmx::OfferResult& result) {
            if (result.outcome == vmx::OfferResult::Outcome::Created) {
                vmx::MainViewState& state = m_runner.State();
                state.newDb = true;
                state.newDbFileName = vmx::FileNameOfPath(result.dbPath);
                state.renameRow = -1;
                m_runner.Panes().ForgetCurrent(target);
                m_runner.Panes().SetCaption(target, result.dbPath);
            }
            if (then)
                then(result);
        });
}
