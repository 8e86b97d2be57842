#include "view/CLoadCommands.h"

#include "convert/EncodeSettings.h"
#include "recording/RecordingSession.h"
#include "view/CDetailsArea.h"
#include "view/CSessionRunner.h"
#include "view/CViewPanes.h"
#include "view/CViewPlayer.h"
#include "view/FormTemplate.h"
#include "viewmodel/PaneTexts.h"

void CLoadCommands::CurrentRowMoved(int side, int row)
{
    // The commands act on the recording the pane shows as current, at whatever row it is now; the
    // details area lets go of a recording that is gone.
    m_runner.State().selected(side) = row;
    if (row < 0 && m_detailsSide == side) {
        m_details.Clear();
        m_detailsSide = -1;
    }
}

void CLoadCommands::SetUpPanes(vmx::ViewMode mode)
{
    m_runner.Panes().SetUp(mode);
    m_details.ClearName();
    m_detailsSide = -1;
    if (mode == vmx::ViewMode::Record) {
        m_runner.State().pending.clear(vmx::MediaKind::Image);
    } else if (const auto lines = vmx::PaneSetupFor(mode).detailsLines) {
        m_details.ShowMediaLines(*lines);
    }
}

void CLoadCommands::SwitchMode(int index)
{
    vmx::MainViewState& state = m_runner.State();
    if (m_player.IsRunning()) {
        // The panes keep their rows, columns and captions, and the mode stays what it was.
        m_runner.Ui().showMessage(vmx::kWhileMessage);
        emit modeChanged();
        return;
    }
    state.mode = vmx::ModeOfIndex(index);
    SetUpPanes(state.mode);
    emit modeChanged();
    if (const auto kind = vmx::MediaKindOfMode(state.mode)) {
        m_runner.Panes().FillPendingPane();
        emit mediaModeEntered(*kind);
    } else if (state.mode == vmx::ViewMode::Record) {
        FillRecordPanes();
    }
}

void CLoadCommands::FillRecordPanes()
{
    vmx::MainViewState& state = m_runner.State();
    for (const int side : {vmx::kLeftSide, vmx::kRightSide}) {
        state.activeSide = side;
        m_runner.Panes().FillRecordPane(side);
        // The media modes named the panes "PC" and "PVR USB ..."; a loaded pane names its database again.
        if (const vmx::PaneCopy& pane = state.pane(side); pane.loaded)
            m_runner.Panes().SetCaption(side, vmx::PaneCaption(pane.dbPath));
    }
}

void CLoadCommands::RowClicked(int side, int row)
{
    vmx::MainViewState& state = m_runner.State();
    state.selected(side) = row;
    state.activeSide = side;
    const vmx::RowClickEffect effect = vmx::RowClick(side, row, state.mode, state.pane(side).loaded);
    if (effect.showDetails) {
        if (const vmx::RecordDetails* details = state.pane(side).detailsAt(row)) {
            m_details.ShowRecord(*details);
            m_detailsSide = side;
        }
    }
    if (effect.transferLeftToRight)
        emit commandEnabled(ControlId::kTransferLeftToRight, *effect.transferLeftToRight);
    if (effect.transferRightToLeft)
        emit commandEnabled(ControlId::kTransferRightToLeft, *effect.transferRightToLeft);
}

void CLoadCommands::Load(int side)
{
    m_runner.State().mode = vmx::ViewMode::Record;
    if (m_player.IsRunning()) {
        m_runner.Ui().showMessage(vmx::kLoadWhilePlayingMessage);
        return;
    }
    LoadFile(side, CQtUserInterface::ChooseExistingFile(m_dialogParent, vmx::kDbFileFilter));
}

void CLoadCommands::LoadFile(int side, const std::string& path, std::function<void()> then)
{
    m_runner.Run<vmx::LoadResult>(
        [side, path](vmx::RecordingSession& session, vmx::UserInterface& ui) {
            // Cancelled: the pane's timing list is built again all the same, and PR enabled.
            return path.empty() ? vmx::LoadResult{.refresh = session.rebuildTiming(side, ui)}
                                : session.loadPane(side, path, ui);
        },
        [this, side, path, then](const vmx::LoadResult& result) {
            Loaded(side, path, result);
            if (then)
                then();
        });
}

namespace {

// The loads of both panes, as one operation's result.
struct BothLoads {
    vmx::LoadResult left;
    vmx::LoadResult right;
    vmx::PaneRefresh refresh;  // both loads'
};

}  // namespace

void CLoadCommands::LoadFiles(const std::string& left, const std::string& right, std::function<void()> then)
{
    m_runner.Run<BothLoads>(
        [left, right](vmx::RecordingSession& session, vmx::UserInterface& ui) {
            BothLoads both;
            both.left = session.loadPane(vmx::kLeftSide, left, ui);
            both.refresh = both.left.refresh;
            if (!right.empty()) {
                both.right = session.loadPane(vmx::kRightSide, right, ui);
                both.refresh.add(both.right.refresh);
            }
            return both;
        },
        [this, left, right, then](const BothLoads& both) {
            Loaded(vmx::kLeftSide, left, both.left);
            if (!right.empty())
                Loaded(vmx::kRightSide, right, both.right);
            if (then)
                then();
        });
}

void CLoadCommands::Loaded(int side, const std::string& path, const vmx::LoadResult& result)
{
    // A refused or unreadable database was named to the user; the pane keeps what it
    // showed, its database, records and timing list.
    if (result.ok) {
        m_runner.State().renameRow = -1;  // another database's rows
        m_runner.Panes().ForgetCurrent(side);
        // A load into the left pane reloads encoding-custom.ini into the current encoder settings.
        if (side == vmx::kLeftSide)
            vmx::ReloadEncodeSettings();
        m_runner.Panes().SetCaption(side, vmx::PaneCaption(path));
    }
    if (result.ok || path.empty())
        emit commandEnabled(ControlId::kCut, true);
}

void CLoadCommands::ReloadChanged(const vmx::PaneRefresh& refresh)
{
    // One load at a time: the right pane's after the left one's.
    const auto reload = [this](int side, std::function<void()> then = {}) {
        LoadFile(side, m_runner.State().pane(side).dbPath, std::move(then));
    };
    const auto right = [reload, wanted = refresh.reloads[std::size_t(vmx::kRightSide)]] {
        if (wanted)
            reload(vmx::kRightSide);
    };
    if (refresh.reloads[std::size_t(vmx::kLeftSide)])
        reload(vmx::kLeftSide, right);
    else
        right();
}
