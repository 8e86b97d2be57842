#pragma once

#include "recording/PaneRefresh.h"
#include "recording/RecordDetails.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vmx {

class RecordingSession;

// What the main view paints a record pane from: a copy of one side of the session, taken when an
// operation has ended, so that painting never reaches into the record store while another
// operation works on it.
struct PaneCopy {
    bool loaded = false;
    std::string dbPath;
    std::string folder;
    std::string fileName;
    int dbKind = 0;
    std::vector<RecordRow> rows;
    std::vector<std::optional<RecordDetails>> details;  // one per row; nothing for an unreadable one

    // The details of the recording at `row`, or null.
    const RecordDetails* detailsAt(int row) const;
};

// A copy of the session's pane of `side`. Call it where the session's queries may be called: on
// the thread that runs its operations, between operations.
PaneCopy CopyPane(const RecordingSession& session, int side);

// Copies of the panes an operation marked in `refresh` (nothing for the others), and the last
// loaded DB kind.
struct PaneCopies {
    std::array<std::optional<PaneCopy>, 2> panes;
    int lastLoadedDbKind = 0;
};
PaneCopies CopyRefreshedPanes(const RecordingSession& session, const PaneRefresh& refresh);

}  // namespace vmx
