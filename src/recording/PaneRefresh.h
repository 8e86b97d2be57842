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

    void pane(int side) { panes[static_cast<std::size_t>(side)] = true; }
    void timingRow(int side, int row) { timingRows[static_cast<std::size_t>(side)].push_back(row); }
};

}  // namespace vmx
