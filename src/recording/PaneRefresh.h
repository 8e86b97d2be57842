#pragma once

#include <array>
#include <vector>

namespace vmx {

// What a front end paints again after an operation of the recording session: the operation
// changed the store or the files behind these, and the front end's own copies are out of date.
struct PaneRefresh {
    std::array<bool, 2> panes{};  // refill the pane of each side marked, from rows(side)
    std::array<std::vector<int>, 2> timingRows;  // rows whose timing entry (and details) changed
    bool receiverFiles = false;   // the receiver's MP3 or IMAGE listing changed
    // The database of the pane of each side marked was changed by another program (or an
    // interrupted cut of it was finished) after the pane loaded it: nothing was written to it,
    // the user was told, and the front end loads it again (RecordingSession::loadPane) before
    // anything else is done with that pane.
    std::array<bool, 2> reloads{};

    void pane(int side) { panes[static_cast<std::size_t>(side)] = true; }
    void reload(int side) { reloads[static_cast<std::size_t>(side)] = true; }
    void timingRow(int side, int row) { timingRows[static_cast<std::size_t>(side)].push_back(row); }
    // What `other` marks too.
    void add(const PaneRefresh& other)
    {
        for (std::size_t side = 0; side < 2; ++side) {
            panes[side] = panes[side] || other.panes[side];
            reloads[side] = reloads[side] || other.reloads[side];
            timingRows[side].insert(timingRows[side].end(), other.timingRows[side].begin(), other.timingRows[side].end());
        }
        receiverFiles = receiverFiles || other.receiverFiles;
    }
};

}  // namespace vmx
