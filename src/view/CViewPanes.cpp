#include "view/CViewPanes.h"

#include "controls/CColorLabel.h"
#include "view/CPaneTable.h"
#include "viewmodel/PaneTexts.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QTableWidget>

#include <algorithm>

CViewPanes::CViewPanes(const vmx::MainViewState& state, const std::array<QTableWidget*, 2>& panes,
                       const std::array<CColorLabel*, 2>& captions, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_panes(panes)
    , m_captions(captions)
{
    for (const int side : {vmx::kLeftSide, vmx::kRightSide}) {
        QTableWidget* pane = m_panes[std::size_t(side)];
        pane->installEventFilter(this);
        pane->viewport()->installEventFilter(this);
        // The arrow keys, Tab and the mouse all move the current row; whichever did, it is the row
        // the details show and the commands act on.
        connect(pane->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this, side](const QModelIndex& current) { OnCurrentRowChanged(side, current.row()); });
    }
}

void CViewPanes::OnCurrentRowChanged(int side, int paneRow)
{
    if (m_filling || paneRow < 0)
        return;
    const int row = RowOf(side, paneRow);
    MakeCurrent(side, row);
    emit rowClicked(side, row);
}

void CViewPanes::MakeCurrent(int side, int row)
{
    const vmx::RecordDetails* details = m_state.pane(side).detailsAt(row);
    m_currentSlot[std::size_t(side)] = details ? int(details->slot) : -1;
}

void CViewPanes::ForgetCurrent(int side)
{
    m_currentSlot[std::size_t(side)] = -1;
}

int CViewPanes::RowOf(int side, int paneRow) const
{
    const std::vector<int>& rowOf = m_rowOf[std::size_t(side)];
    if (paneRow < 0 || rowOf.empty())
        return paneRow;
    return paneRow < int(rowOf.size()) ? rowOf[std::size_t(paneRow)] : -1;
}

int CViewPanes::SideOf(QObject* object) const
{
    for (const int side : {vmx::kLeftSide, vmx::kRightSide}) {
        QTableWidget* pane = m_panes[std::size_t(side)];
        if (object == pane || object == pane->viewport())
            return side;
    }
    return -1;
}

bool CViewPanes::eventFilter(QObject* watched, QEvent* event)
{
    const int side = SideOf(watched);
    if (side < 0)
        return false;
    QTableWidget* pane = m_panes[std::size_t(side)];
    if (event->type() == QEvent::MouseButtonRelease && watched == pane->viewport()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            const int row = RowOf(side, pane->indexAt(mouse->position().toPoint()).row());
            MakeCurrent(side, row);
            emit rowClicked(side, row);
        }
    } else if (event->type() == QEvent::KeyPress && watched == pane &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        emit deletePressed(side);
        return true;
    } else if (event->type() == QEvent::ContextMenu && watched == pane->viewport()) {
        emit menuWanted(side, static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    return false;
}

void CViewPanes::SetUp(vmx::ViewMode mode)
{
    const vmx::PaneSetup setup = vmx::PaneSetupFor(mode);
    for (const int side : {vmx::kLeftSide, vmx::kRightSide}) {
        QTableWidget* pane = m_panes[std::size_t(side)];
        const std::vector<vmx::PaneColumn>& columns = setup.columns[std::size_t(side)];
        const QScopedValueRollback filling(m_filling, true);
        pane->clear();
        pane->setRowCount(0);
        m_rowOf[std::size_t(side)].clear();
        m_currentSlot[std::size_t(side)] = -1;
        pane->setColumnCount(int(columns.size()));
        QStringList titles;
        for (const vmx::PaneColumn& column : columns)
            titles << QString::fromLatin1(column.title);
        pane->setHorizontalHeaderLabels(titles);
        pane->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
        std::vector<int> widths;
        for (const vmx::PaneColumn& column : columns)
            widths.push_back(column.width);
        static_cast<CPaneTable*>(pane)->SetDesignColumns(widths);
        pane->setShowGrid(true);
        pane->setSelectionBehavior(QAbstractItemView::SelectRows);

        CColorLabel* caption = m_captions[std::size_t(side)];
        caption->gradientFrom = 0x008000;
        caption->gradientTo = 0x000000;
        caption->textColor = 0xFFFFFF;
        caption->alignment = 1;
        SetCaption(side, setup.captions[std::size_t(side)]);
    }
}

void CViewPanes::SetCaption(int side, const std::string& text)
{
    m_captions[std::size_t(side)]->SetText(QString::fromStdString(text));
}

void CViewPanes::Fill(int side, const std::vector<std::vector<std::string>>& rows, std::vector<int> rowOf)
{
    const QScopedValueRollback filling(m_filling, true);
    m_rowOf[std::size_t(side)] = std::move(rowOf);
    QTableWidget* pane = m_panes[std::size_t(side)];
    pane->clearContents();
    pane->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        const std::vector<std::string>& texts = rows[std::size_t(r)];
        for (int c = 0; c < int(texts.size()) && c < pane->columnCount(); ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(texts[std::size_t(c)]));
            item->setTextAlignment(Qt::AlignCenter);
            pane->setItem(r, c, item);
        }
    }
}

void CViewPanes::FillRecordPane(int side)
{
    const std::vector<vmx::RecordRow>& copy = m_state.pane(side).rows;
    std::vector<int> shown = vmx::ShownRecordRows(copy);
    std::vector<std::vector<std::string>> rows;
    for (const int row : shown)
        rows.push_back(vmx::RecordRowTexts(copy[std::size_t(row)]));
    Fill(side, rows, shown);

    // The current recording where it is now, by its slot.
    int& slot = m_currentSlot[std::size_t(side)];
    int current = -1;
    for (int paneRow = 0; slot >= 0 && paneRow < int(shown.size()); ++paneRow) {
        const vmx::RecordDetails* details = m_state.pane(side).detailsAt(shown[std::size_t(paneRow)]);
        if (details && int(details->slot) == slot) {
            current = paneRow;
            break;
        }
    }
    QTableWidget* pane = m_panes[std::size_t(side)];
    {
        const QScopedValueRollback filling(m_filling, true);
        if (current >= 0) {
            pane->selectionModel()->setCurrentIndex(pane->model()->index(current, 0),
                                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        } else {
            slot = -1;
            pane->selectionModel()->clear();
        }
    }
    emit currentRowMoved(side, RowOf(side, current));
}

void CViewPanes::FillReceiverPane()
{
    std::vector<std::vector<std::string>> rows;
    for (const vmx::MediaFileEntry& file : m_state.receiverFiles.files)
        rows.push_back(vmx::MediaRowTexts(file));
    Fill(vmx::kRightSide, rows);
}

void CViewPanes::FillPendingPane()
{
    std::vector<std::vector<std::string>> rows;
    if (const auto kind = vmx::MediaKindOfMode(m_state.mode)) {
        const std::vector<vmx::PcMediaFile>& files = m_state.pending.list(*kind);
        for (int i = 0; i < int(files.size()); ++i)
            rows.push_back(vmx::PendingRowTexts(i, files[std::size_t(i)].name));
    }
    Fill(vmx::kLeftSide, rows);
}

std::vector<int> CViewPanes::SelectedRows(int side) const
{
    std::vector<int> rows;
    const QTableWidget* pane = m_panes[std::size_t(side)];
    for (const QModelIndex& index : pane->selectionModel()->selectedRows())
        rows.push_back(RowOf(side, index.row()));
    std::sort(rows.begin(), rows.end());
    return rows;
}
