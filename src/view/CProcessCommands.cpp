#include "view/CProcessCommands.h"

#include "controls/CMarkBar.h"
#include "convert/EncodeSettings.h"
#include "dialogs/CSettingDlg.h"
#include "recording/Cut.h"
#include "view/CDetailsArea.h"
#include "view/CPaneCommands.h"
#include "view/CQtUserInterface.h"
#include "view/CSessionWorker.h"
#include "view/CVelmorixView.h"
#include "view/CViewPanes.h"
#include "view/CViewPlayer.h"
#include "view/SessionOutcome.h"

#include <QFile>

#include <sys/stat.h>

namespace {

bool IsRegularFile(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

CProcessCommands::CProcessCommands(CVelmorixView& view)
    : m_view(view)
{
}

// Out of line: the dialog's type is complete here.
CProcessCommands::~CProcessCommands() = default;

void CProcessCommands::Merge()
{
    (void)RunMerge({});
}

bool CProcessCommands::RunMerge(std::function<void(const vmx::MergeResult&)> then)
{
    vmx::MainViewState& state = m_view.State();
    if (!state.anyRowSelected()) {
        m_view.Ui().showMessage(vmx::kSelectItemFirstMessage);
        return false;
    }
    // The recording of the active side; when only the other side has a selected row, the session
    // says that nothing is selected here.
    const int side = state.activeSide;
    const int row = state.selected(side);
    // The player lets go of any part file of the recording before it is read.
    m_view.PlayerCommands().Release();
    vmx::UserInterface& ui = m_view.Ui();
    return m_view.Worker().Run<SessionOutcome<vmx::MergeResult>>(
        [side, row, &ui](vmx::RecordingSession& session) {
            // The output folder is asked for on the way (an empty folder: the chooser).
            vmx::MergeResult result = session.merge(side, row, std::string(), ui);
            const vmx::PaneRefresh refresh = result.refresh;
            return WithCopies(session, std::move(result), refresh);
        },
        [this, then = std::move(then)](SessionOutcome<vmx::MergeResult> outcome) {
            m_view.State().take(outcome.copies);
            if (!outcome.result.path.empty())
                m_lastMergedPath = outcome.result.path;
            m_view.Commands().ReloadChanged(outcome.result.refresh);
            if (then)
                then(outcome.result);
        });
}

void CProcessCommands::Convert()
{
    if (!m_view.State().anyRowSelected()) {
        m_view.Ui().showMessage(vmx::kSelectItemFirstMessage);
        return;
    }
    if (m_settings)
        return;  // EN's dialog is already on its way
    m_settings = std::make_unique<CSettingDlg>(&m_view);
    if (!m_view.Ui().askYesNo(kConvertQuestion, kConvertCaption)) {
        // The user chooses the source file in the dialog.
        ShowSettings();
        return;
    }
    const bool started = RunMerge([this](const vmx::MergeResult& result) {
        // The merged file goes to the dialog as its source; after a merge that was cancelled or
        // refused, the file of an earlier merge. A path that names no file (no merge yet, or one
        // that failed and left nothing) is not handed over: the job would only fail, and the
        // dialog would not show the next file the user adds.
        if (result.outcome != vmx::MergeOutcome::Failed && IsRegularFile(m_lastMergedPath))
            m_settings->HandOverMergedFile(QFile::decodeName(QByteArray::fromStdString(m_lastMergedPath)));
        // Shown once the merge has ended (its last message read), so the form's commands are back.
        m_view.Worker().WhenIdle([this] { ShowSettings(); });
    });
    if (!started)
        ShowSettings();
}

void CProcessCommands::ShowSettings()
{
    if (!m_settings)
        return;
    // Runs dump the audio when the database loaded last was not a DZT file.
    m_settings->SetLastLoadedDbKind(m_view.Session().lastLoadedDbKind());
    m_settings->CopySettingsIn(CurrentEncodeSettings());
    m_settings->DoModal();
    // Closing the dialog has stopped its run; destroying it ends whatever remains of it.
    m_settings.reset();
}

void CProcessCommands::Cut()
{
    vmx::MainViewState& state = m_view.State();
    if (state.mode != vmx::ViewMode::Record)
        return;
    const int side = state.activeSide;
    const int row = state.selected(side);
    const std::vector<float> marks = m_view.MarkBar()->GetMarks();
    if (m_view.PlayerCommands().IsRunning()) {
        m_view.Ui().showMessage(kCutWhilePlayingMessage);
        return;
    }
    // The mark bar's range after the cut: the recording's duration before it.
    const vmx::RecordDetails* details = state.pane(side).detailsAt(row);
    const float duration = details ? float(details->duration) : m_view.MarkBar()->RangeMax();
    const int markCount = int(marks.size());
    const double start = markCount == 2 ? double(marks[0]) : 0.0;
    const double end = markCount == 2 ? double(marks[1]) : 0.0;
    // The player lets go of the part files before they are rewritten, deleted or renamed.
    if (markCount == 2)
        m_view.PlayerCommands().Release();
    vmx::UserInterface& ui = m_view.Ui();
    m_view.Worker().Run<SessionOutcome<vmx::CutResult>>(
        [side, row, markCount, start, end, &ui](vmx::RecordingSession& session) {
            vmx::CutResult result = session.cut(side, row, markCount, start, end, ui);
            const vmx::PaneRefresh refresh = result.refresh;
            return WithCopies(session, std::move(result), refresh);
        },
        [this, side, duration](SessionOutcome<vmx::CutResult> outcome) {
            m_view.State().take(outcome.copies);
            const vmx::CutResult& result = outcome.result;
            if (result.refresh.panes[std::size_t(side)])
                m_view.Panes().FillRecordPane(side);
            if (result.resetMarks)
                m_view.Details().ResetMarkBar(duration);
            if (result.outcome == vmx::CutOutcome::Done)
                m_view.PlayerCommands().Stop();
            m_view.Commands().ReloadChanged(result.refresh);
        });
}
