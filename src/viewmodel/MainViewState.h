#pragma once

#include "recording/LoadedPane.h"
#include "recording/RecordingSession.h"
#include "viewmodel/PaneCopy.h"
#include "viewmodel/PendingMedia.h"
#include "viewmodel/PlaybackState.h"
#include "viewmodel/ViewMode.h"

#include <array>
#include <string>

namespace vmx {

// The working state of the main view: the mode, the active side and the selected rows, the copies
// of both panes it paints from, the PC files chosen for the receiver, the receiver's listing, the
// player state and the flags of the commands that use them.
struct MainViewState {
    ViewMode mode = ViewMode::None;
    int activeSide = kLeftSide;
    std::array<int, 2> selectedRow{-1, -1};
    std::array<PaneCopy, 2> panes;
    int lastLoadedDbKind = 0;
    PendingMedia pending;
    MediaListing receiverFiles;  // the right pane in the MP3 and JPEG modes
    // The row RE renamed last, which RE renames again when no row is selected; -1 once the
    // rows of a pane were replaced (a delete, a load), when that row may hold another recording.
    int renameRow = 0;
    bool newDb = false;          // the offer of a new database created one (the transfers read it)
    std::string newDbFileName;
    std::string pcTargetFolder;  // where AR puts receiver files on the PC, asked once
    PlaybackState playback;

    PaneCopy& pane(int side) { return panes[side == kLeftSide ? 0 : 1]; }
    const PaneCopy& pane(int side) const { return panes[side == kLeftSide ? 0 : 1]; }
    int& selected(int side) { return selectedRow[side == kLeftSide ? 0 : 1]; }
    int selected(int side) const { return selectedRow[side == kLeftSide ? 0 : 1]; }
    bool anyRowSelected() const { return selectedRow[0] != -1 || selectedRow[1] != -1; }
    // The details of the selected row of the active side, or null.
    const RecordDetails* selectedDetails() const { return pane(activeSide).detailsAt(selected(activeSide)); }
    // Takes the copies an operation made of the panes it changed.
    void take(const PaneCopies& copies)
    {
        for (const int side : {kLeftSide, kRightSide}) {
            if (copies.panes[static_cast<std::size_t>(side)])
                pane(side) = *copies.panes[static_cast<std::size_t>(side)];
        }
        lastLoadedDbKind = copies.lastLoadedDbKind;
    }
};

}  // namespace vmx
