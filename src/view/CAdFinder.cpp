#include "view/CAdFinder.h"

#include "dialogs/Utf8Text.h"
#include "recording/Merge.h"
#include "recording/PlaybackParts.h"
#include "view/CCutEditor.h"
#include "viewmodel/MainViewState.h"

#include <QProgressDialog>

CAdFinder::CAdFinder(vmx::MainViewState& state, CCutEditor& cutEditor, vmx::UserInterface& ui, QWidget* window)
    : m_state(state)
    , m_cutEditor(cutEditor)
    , m_ui(ui)
    , m_window(window)
{
}

CAdFinder::~CAdFinder() = default;

void CAdFinder::Find()
{
    if (m_state.mode != vmx::ViewMode::Record)
        return;
    if (m_running) {
        if (m_progress) {
            m_progress->raise();
            m_progress->activateWindow();
        }
        return;
    }
    const vmx::RecordDetails* details = m_state.selectedDetails();
    if (!details) {
        m_ui.showMessage(vmx::kSelectItemFirstMessage);
        return;
    }
    std::vector<std::string> parts = vmx::PartPathsOf(*details);
    if (parts.empty()) {
        m_ui.showMessage("\"" + details->displayName + "\" cannot be analysed: its part files are not named as the receiver names them.");
        return;
    }
    m_key = parts.front();
    m_name = details->displayName;
    m_progress = new QProgressDialog(Utf8Text("Looking for the advertising in \"" + m_name + "\"\u2026"),
                                     QStringLiteral("Cancel"), 0, 100, m_window);
    m_progress->setObjectName(QStringLiteral("findAds"));
    m_progress->setWindowTitle(QStringLiteral("Find ads"));
    m_progress->setWindowModality(Qt::NonModal);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setMinimumDuration(0);
    m_progress->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_progress, &QProgressDialog::canceled, this, [this] {
        m_search.cancel();
        if (m_progress)
            m_progress->setLabelText(QStringLiteral("Cancelling\u2026"));
    });
    m_progress->setValue(0);
    m_progress->show();
    // The search's thread tells the main thread, where its window is, through queued calls.
    m_running = true;
    m_search.start(
        std::move(parts), vmx::AdSettings{},
        [this](int percent) {
            QMetaObject::invokeMethod(this, [this, percent] {
                if (m_progress)
                    m_progress->setValue(percent);
            }, Qt::QueuedConnection);
        },
        [this](const vmx::AdSearchOutcome& outcome) {
            QMetaObject::invokeMethod(this, [this, outcome] { Finished(outcome); }, Qt::QueuedConnection);
        });
}

void CAdFinder::Finished(const vmx::AdSearchOutcome& outcome)
{
    m_running = false;
    if (m_progress)
        m_progress->close();
    using End = vmx::AdSearchOutcome::End;
    const std::string name = "\"" + m_name + "\"";
    std::string said;
    switch (outcome.end) {
    case End::Cancelled:
        return;
    case End::Failed:
        said = "The advertising of " + name + " could not be looked for: " + outcome.error;
        break;
    case End::Changed:
        said = name + " was changed while it was analysed (cut, renamed or written to): what was found may be wrong, "
               "so nothing was put on its cut list. Find its ads again.";
        break;
    case End::Found:
        m_cutEditor.Propose(m_key, outcome.stretches);
        if (outcome.stretches.empty())
            said = "No advertising was found in " + name + ".";
        else if (const vmx::RecordDetails* shown = m_state.selectedDetails();
                 !shown || vmx::PartPathOf(*shown, 0) != m_key)
            said = std::to_string(outcome.stretches.size()) + " proposed block" +
                   (outcome.stretches.size() == 1 ? " is" : "s are") + " on the cut list of " + name +
                   ": select it to check them.";
        for (const std::string& warning : outcome.warnings)
            said += (said.empty() ? "" : "\n") + warning + ".";
        break;
    }
    if (!said.empty())
        m_ui.showMessage(said);
}
