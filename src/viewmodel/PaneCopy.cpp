#include "viewmodel/PaneCopy.h"

#include "recording/RecordingSession.h"

namespace vmx {

const RecordDetails* PaneCopy::detailsAt(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= details.size() || !details[static_cast<std::size_t>(row)])
        return nullptr;
    return &*details[static_cast<std::size_t>(row)];
}

PaneCopy CopyPane(const RecordingSession& session, int side)
{
    PaneCopy copy;
    const LoadedPane& pane = session.pane(side);
    copy.loaded = pane.loaded();
    copy.dbPath = pane.dbPath;
    copy.folder = pane.folder;
    copy.fileName = pane.fileName;
    copy.dbKind = pane.dbKind;
    copy.rows = session.rows(side);
    for (const RecordRow& row : copy.rows)
        copy.details.push_back(session.details(side, row.row));
    return copy;
}

PaneCopies CopyRefreshedPanes(const RecordingSession& session, const PaneRefresh& refresh)
{
    PaneCopies copies;
    for (const int side : {kLeftSide, kRightSide}) {
        if (refresh.panes[static_cast<std::size_t>(side)])
            copies.panes[static_cast<std::size_t>(side)] = CopyPane(session, side);
    }
    copies.lastLoadedDbKind = session.lastLoadedDbKind();
    return copies;
}

}  // namespace vmx
