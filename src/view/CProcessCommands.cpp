#include "view/CProcessCommands.h"

#include "controls/CMarkBar.h"
#include "convert/EncodeSettings.h"
#include "convert/ExportChoice.h"
#include "dialogs/CExportQueueDlg.h"
#include "dialogs/CSettingDlg.h"
#include "recording/Cut.h"
#include "view/CCutEditor.h"
#include "view/CDetailsArea.h"
#include "view/CSessionRunner.h"
#include "view/CViewPlayer.h"

#include <QFile>

#include <sys/stat.h>

namespace {

bool IsRegularFile(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

// Out of line: the dialog's type is complete here.
CProcessCommands::CProcessCommands(CSessionRunner& runner, CDetailsArea& details, CViewPlayer& player,
                                   CCutEditor& cutEditor, std::function<CExportQueueDlg&()> exportQueue,
                                   QWidget* dialogParent)
    : m_runner(runner), m_details(details), m_player(player), m_cutEditor(cutEditor),
      m_exportQueue(std::move(exportQueue)),
      m_dialogParent(dialogParent)
{
}

CProcessCommands::~CProcessCommands() = default;

void CProcessCommands::Merge()
{
    (void)RunMerge({});
}

bool CProcessCommands::RunMerge(std::function<void(const vmx::MergeResult&)> then)
{
    vmx::MainViewState& state = m_runner.State();
    if (!state.anyRowSelected()) {
        m_runner.Ui().showMessage(vmx::kSelectItemFirstMessage);
        return false;
    }
    // The recording of the active side; when only the other side has a selected row, the session
    // says that nothing is selected here.
    const int side = state.activeSide;
    const int row = state.selected(side);
    // The player lets go of any part file of the recording before it is read.
    m_player.Release();
    return m_runner.Run<vmx::MergeResult>(
        [side, row](vmx::RecordingSession& session, vmx::UserInterface& ui) {
            // The output folder is asked for on the way (an empty folder: the chooser).
            return session.merge(side, row, std::string(), ui);
        },
        [this, then = std::move(then)](const vmx::MergeResult& result) {
            if (!result.path.empty())
                m_lastMergedPath = result.path;
            if (then)
                then(result);
        });
}

void CProcessCommands::Convert()
{
    if (!m_runner.State().anyRowSelected()) {
        m_runner.Ui().showMessage(vmx::kSelectItemFirstMessage);
        return;
    }
    if (m_settings)
        return;  // EN's dialog is already on its way
    m_settings = std::make_unique<CSettingDlg>(m_dialogParent);
    // Whatever the dialog's start asks to export goes into the queue (and its window shows).
    connect(m_settings.get(), &CSettingDlg::ExportsRequested, this,
            [this](const std::vector<vmx::ExportJobOrder>& exports) { m_exportQueue().Queue(exports); });
    // The dialog's construction has reloaded the settings the choice is kept in.
    if (vmx::IsExportChoice(vmx::OutputChoiceOf(vmx::CurrentEncodeSettings()))) {
        // An export reads the recording from its part files as they are: there is nothing to merge.
        const vmx::RecordDetails* details = m_runner.State().selectedDetails();
        if (!details) {
            m_settings.reset();
            m_runner.Ui().showMessage(vmx::kSelectItemFirstMessage);
            return;
        }
        m_settings->HandOverRecording(*details);
        ShowSettings();
        return;
    }
    if (!m_runner.Ui().askYesNo(kConvertQuestion, kConvertCaption)) {
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
        m_runner.Worker().WhenIdle([this] { ShowSettings(); });
    });
    if (!started)
        ShowSettings();
}

void CProcessCommands::ShowSettings()
{
    if (!m_settings)
        return;
    // Runs dump the audio when the database loaded last was not a DZT file.
    m_settings->SetLastLoadedDbKind(m_runner.Session().lastLoadedDbKind());
    m_settings->CopySettingsIn(vmx::CurrentEncodeSettings());
    m_settings->DoModal();
    // Closing the dialog has stopped its run; destroying it ends whatever remains of it.
    m_settings.reset();
}

void CProcessCommands::Cut()
{
    vmx::MainViewState& state = m_runner.State();
    if (state.mode != vmx::ViewMode::Record)
        return;
    const int side = state.activeSide;
    const int row = state.selected(side);
    if (m_player.IsRunning()) {
        m_runner.Ui().showMessage(kCutWhilePlayingMessage);
        return;
    }
    // The mark bar's range after the cut: the recording's duration before it.
    const vmx::RecordDetails* details = state.pane(side).detailsAt(row);
    const float duration = details ? float(details->duration) : m_details.MarkBar().RangeMax();
    // The cut list's stretches, or the marks; with neither the cut says that nothing is marked.
    m_lastCutRequest = m_cutEditor.Request();
    // The player lets go of the part files before they are rewritten, deleted or renamed.
    if (!m_lastCutRequest.stretches.empty())
        m_player.Release();
    m_runner.Run<vmx::CutResult>(
        [side, row, request = m_lastCutRequest](vmx::RecordingSession& session, vmx::UserInterface& ui) {
            return session.cut(side, row, request, ui);
        },
        [this, duration](const vmx::CutResult& result) {
            m_cutEditor.CutEnded(result.outcome == vmx::CutOutcome::Done);
            if (result.resetMarks)
                m_details.ResetMarkBar(duration);
            if (result.outcome == vmx::CutOutcome::Done)
                m_player.Stop();
        });
}
