#include "view/CUndoCommands.h"

#include "convert/RememberedDestination.h"
#include "recording/RecordingSession.h"
#include "view/CSessionRunner.h"
#include "view/CViewPlayer.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {

// A label as a menu entry shows it: '&' would otherwise mark the next letter as its key.
QString MenuText(const std::string& text, const char* key)
{
    return QString::fromStdString(text).replace(QLatin1Char('&'), QStringLiteral("&&")) + QLatin1Char('\t') +
           QLatin1String(key);
}

// One result for the undo folders of several sides, emptied one after the other.
void Add(vmx::UndoResult& all, const vmx::UndoResult& one, bool reload)
{
    all.ok = all.ok && one.ok;
    all.freed += one.freed;
    for (const int side : {vmx::kLeftSide, vmx::kRightSide}) {
        if (one.refresh.panes[std::size_t(side)])
            all.refresh.pane(side);
        if (reload && one.refresh.reloads[std::size_t(side)])
            all.refresh.reload(side);
    }
}

}  // namespace

CUndoCommands::CUndoCommands(CSessionRunner& runner, CViewPlayer& player, QWidget* form)
    : m_runner(runner)
    , m_player(player)
    , m_form(form)
    , m_held(new QLabel(form))
    , m_empty(new QPushButton(QStringLiteral("Empty undo"), form))
{
    m_held->setObjectName(QStringLiteral("undoHeld"));
    m_held->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_empty->setObjectName(QStringLiteral("emptyUndo"));
    m_empty->setToolTip(QStringLiteral("Free what the undo folders of the loaded databases keep; "
                                       "what was deleted or cut can then no longer be taken back"));
    m_held->hide();
    m_empty->hide();
    connect(m_empty, &QPushButton::clicked, this, &CUndoCommands::EmptyUndo);
    connect(&m_runner.Worker(), &CSessionWorker::busyChanged, this, [this](bool busy) {
        m_empty->setEnabled(!busy);
        if (!busy)
            Refresh();
    });
}

std::vector<CUndoCommands::LoadedDb> CUndoCommands::LoadedDatabases() const
{
    std::vector<LoadedDb> loaded;
    for (const int side : {vmx::kLeftSide, vmx::kRightSide}) {
        const vmx::PaneCopy& pane = m_runner.State().pane(side);
        if (!pane.loaded)
            continue;
        const bool seen = std::any_of(loaded.begin(), loaded.end(),
                                      [&pane](const LoadedDb& db) { return db.dbPath == pane.dbPath; });
        if (!seen)
            loaded.push_back({side, pane.dbPath, vmx::SummarizeUndo(pane.dbPath)});
    }
    return loaded;
}

void CUndoCommands::Refresh()
{
    if (m_runner.IsBusy())
        return;
    std::uint64_t bytes = 0;
    int entries = 0;
    for (const LoadedDb& db : LoadedDatabases()) {
        bytes += db.summary.bytes;
        entries += db.summary.entries;
        // Seen for the first time in this run: what its folder holds now, an earlier run left.
        if (m_ledger.observe(db.dbPath, db.summary) && db.summary.entries > 0)
            m_toOffer.insert(db.dbPath);
    }
    m_held->setText(QString::fromStdString(vmx::UndoHeldText(bytes)));
    m_held->setVisible(entries > 0);
    m_empty->setVisible(entries > 0);
    // Asked once the operation's own messages and slots are done with, not from within them.
    if (!m_toOffer.empty() && !m_offerQueued) {
        m_offerQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_offerQueued = false;
            OfferKept();
        });
    }
}

void CUndoCommands::OfferKept()
{
    if (!m_form->isVisible())
        return;  // the window closed meanwhile: nothing is asked on the way out
    if (m_runner.IsBusy())
        return;  // asked once the operation that runs now has ended
    const bool keepAlways = vmx::RememberedKeepUndo().value_or(false);
    std::vector<int> dropped;
    for (const LoadedDb& db : LoadedDatabases()) {
        if (!m_toOffer.count(db.dbPath) || db.summary.entries == 0 || keepAlways)
            continue;
        if (!m_runner.Ui().askYesNo(vmx::KeptUndoQuestion(db.dbPath, db.summary), {}))
            dropped.push_back(db.side);
    }
    m_toOffer.clear();  // also those no longer loaded: their pane holds another database now
    if (!dropped.empty())
        EmptySides(dropped, true);
}

void CUndoCommands::Undo(int side)
{
    Run(side, false);
}

void CUndoCommands::Redo(int side)
{
    Run(side, true);
}

void CUndoCommands::Run(int side, bool redo)
{
    if (m_runner.IsBusy())
        return;
    if (m_runner.State().mode != vmx::ViewMode::Record) {
        m_runner.Ui().showMessage("Undo and Redo take back and do again deletions and cuts of recordings: "
                                  "switch to RECORD MODE first.");
        return;
    }
    // The files an undo or redo puts back or takes away may be the ones the player holds.
    if (m_runner.State().pane(side).loaded && m_player.PlayingOrPaused())
        m_player.Release();
    m_runner.Run<vmx::UndoResult>(
        [side, redo](vmx::RecordingSession& session, vmx::UserInterface& ui) {
            return redo ? session.redo(side, ui) : session.undo(side, ui);
        },
        [this](const vmx::UndoResult&) { m_runner.State().renameRow = -1; });  // the rows moved
}

void CUndoCommands::EmptyUndo()
{
    if (m_runner.IsBusy())
        return;
    std::vector<int> sides;
    for (const LoadedDb& db : LoadedDatabases())
        sides.push_back(db.side);
    if (!sides.empty())
        EmptySides(sides, true);
}

bool CUndoCommands::EmptySides(const std::vector<int>& sides, bool reload, std::function<void()> then)
{
    return m_runner.Run<vmx::UndoResult>(
        [sides, reload](vmx::RecordingSession& session, vmx::UserInterface& ui) {
            vmx::UndoResult all;
            all.ok = true;
            for (const int side : sides)
                Add(all, session.emptyUndo(side, ui), reload);
            return all;
        },
        [then = std::move(then)](const vmx::UndoResult&) {
            if (then)
                then();
        });
}

void CUndoCommands::ShowMenu(int side, const QPoint& globalPos)
{
    vmx::UndoSummary summary;
    const bool usable = !m_runner.IsBusy() && m_runner.State().mode == vmx::ViewMode::Record &&
                        m_runner.State().pane(side).loaded;
    if (usable)
        summary = vmx::SummarizeUndo(m_runner.State().pane(side).dbPath);
    auto* menu = new QMenu(m_form);
    menu->setObjectName(QStringLiteral("paneMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* undo = menu->addAction(MenuText(vmx::UndoMenuText(summary.undoLabel), "Ctrl+Z"), this,
                                    [this, side] { Undo(side); });
    undo->setEnabled(!summary.undoLabel.empty());
    QAction* redo = menu->addAction(MenuText(vmx::RedoMenuText(summary.redoLabel), "Ctrl+Shift+Z"), this,
                                    [this, side] { Redo(side); });
    redo->setEnabled(!summary.redoLabel.empty());
    menu->popup(globalPos);
}

void CUndoCommands::Place(const QRect& rect)
{
    const int buttonWidth = std::min(rect.width() / 2, m_empty->sizeHint().width());
    m_empty->setGeometry(rect.right() + 1 - buttonWidth, rect.y(), buttonWidth, rect.height());
    m_held->setGeometry(rect.x(), rect.y(), rect.width() - buttonWidth - 4, rect.height());
}

bool CUndoCommands::SettleBeforeExit(std::function<void()> then)
{
    std::vector<int> sides;
    for (const LoadedDb& db : LoadedDatabases()) {
        m_ledger.observe(db.dbPath, db.summary);
        if (m_ledger.changedThisRun(db.dbPath) && db.summary.entries > 0)
            sides.push_back(db.side);
    }
    if (sides.empty())
        return true;
    std::optional<bool> keep = vmx::RememberedKeepUndo();
    if (!keep) {
        keep = m_runner.Ui().askYesNo(vmx::kKeepUndoAtExitQuestion, {});
        if (const std::string notKept = vmx::RememberKeepUndo(*keep); !notKept.empty())
            m_runner.Ui().showMessage("The answer is not remembered for the next time: " + notKept);
    }
    // Emptied without loading any pane again: the window is closing.
    return *keep || !EmptySides(sides, false, std::move(then));
}
