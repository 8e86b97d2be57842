#pragma once

#include "viewmodel/MainViewState.h"

#include <QObject>

#include <array>
#include <string>
#include <vector>

class CColorLabel;
class QTableWidget;

// The two list panes of the main view and their captions: their columns in each mode, their rows
// painted from the view's copies, the rows the user selected, and the clicks and the Delete key
// the user gives them, and where they want the panes' menu. Each pane has one current row, chosen with the mouse or the keys alike; a
// record pane keeps its current recording current when it is painted again.
class CViewPanes : public QObject {
    Q_OBJECT
public:
    CViewPanes(const vmx::MainViewState& state, const std::array<QTableWidget*, 2>& panes,
               const std::array<CColorLabel*, 2>& captions, QObject* parent);

    // Empties both panes and gives them the columns and captions of the mode.
    void SetUp(vmx::ViewMode mode);
    // Lists the recordings of a side's copy in its pane. The recording that was current stays
    // current (and the only one selected) where the copy still holds it, else no row is current;
    // currentRowMoved says which row that is now.
    void FillRecordPane(int side);
    // No recording of the pane is current any more (its rows come from another database).
    void ForgetCurrent(int side);
    // Lists the receiver's media files in the right pane.
    void FillReceiverPane();
    // Lists the PC files waiting for the receiver (of the current mode) in the left pane.
    void FillPendingPane();
    // A pane's caption text.
    void SetCaption(int side, const std::string& text);

    // The selected rows of a pane, from the top. In a record pane these are rows of the side's
    // copy (a list id without a recording has no row in the pane).
    std::vector<int> SelectedRows(int side) const;

signals:
    // A click in a pane, or a key that moved its current row: the row hit (of the side's copy, in
    // a record pane), or -1 when the click hit no row.
    void rowClicked(int side, int row);
    // A record pane was painted again: the row of the copy its current recording now has, or -1
    // when that recording is gone (or none was current).
    void currentRowMoved(int side, int row);
    // The Delete key in a pane.
    void deletePressed(int side);
    // A right click (or the menu key) in a pane, at `globalPos` on the screen.
    void menuWanted(int side, const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows `rows`; `rowOf` gives the row of the side's copy each one shows (empty: the same).
    void Fill(int side, const std::vector<std::vector<std::string>>& rows, std::vector<int> rowOf = {});
    int SideOf(QObject* object) const;
    // The row of the side's copy a row of the pane shows (-1 stays -1).
    int RowOf(int side, int paneRow) const;
    // The user made `row` (of the side's copy) current: its recording is remembered by its slot.
    void MakeCurrent(int side, int row);
    void OnCurrentRowChanged(int side, int paneRow);

    const vmx::MainViewState& m_state;
    std::array<QTableWidget*, 2> m_panes;
    std::array<CColorLabel*, 2> m_captions;
    std::array<std::vector<int>, 2> m_rowOf;
    // The record slot of each pane's current recording, or -1: a slot stays with its recording
    // when rows above it go, and is not given to another while the database is loaded.
    std::array<int, 2> m_currentSlot{-1, -1};
    bool m_filling = false;  // rows are being replaced: the current row changes are not the user's
};
