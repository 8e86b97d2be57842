#include "viewmodel/ViewMode.h"

#include "recording/LoadedPane.h"

namespace vmx {

ViewMode ModeOfIndex(int index)
{
    switch (index) {
    case 0:
        return ViewMode::Record;
    case 1:
        return ViewMode::Mp3;
    case 2:
        return ViewMode::Jpeg;
    default:
        return ViewMode::None;
    }
}

std::optional<MediaKind> MediaKindOfMode(ViewMode mode)
{
    if (mode == ViewMode::Mp3)
        return MediaKind::Mp3;
    if (mode == ViewMode::Jpeg)
        return MediaKind::Image;
    return std::nullopt;
}

std::optional<ModeButtons> ButtonsForMode(ViewMode mode)
{
    switch (mode) {
    case ViewMode::Record:
        return ModeButtons{true, false, false, true, true};
    case ViewMode::Mp3:
        return ModeButtons{false, false, true, false, false};
    case ViewMode::Jpeg:
        return ModeButtons{false, true, false, false, false};
    case ViewMode::None:
        break;
    }
    return std::nullopt;
}

PaneSetup PaneSetupFor(ViewMode mode)
{
    PaneSetup setup;
    if (mode == ViewMode::Mp3 || mode == ViewMode::Jpeg) {
        setup.columns[kLeftSide] = {{"No", 40}, {"File Name", 250}};
        setup.columns[kRightSide] = {{"No", 40}, {"File Name", 180}, {"Size(Kbyte)", 112}};
        setup.captions = {"PC", mode == ViewMode::Mp3 ? "PVR USB MP3" : "PVR USB IMAGE"};
        setup.detailsLines = std::array<std::string, 3>{"", "MP3 JPEG MODE", ""};
        return setup;
    }
    const std::vector<PaneColumn> records{{"No", 40}, {"CHANNEL NAME", 180}, {"DURATION", 112}};
    setup.columns = {records, records};
    return setup;
}

RowClickEffect RowClick(int side, int row, ViewMode mode, bool paneLoaded)
{
    RowClickEffect effect;
    const bool recordRow = mode == ViewMode::Record && paneLoaded && row != -1;
    if (side == kLeftSide) {
        effect.showDetails = recordRow;
        effect.transferLeftToRight = true;
        effect.transferRightToLeft = false;
    } else if (recordRow || mode == ViewMode::Mp3 || mode == ViewMode::Jpeg) {
        effect.showDetails = recordRow;
        effect.transferLeftToRight = false;
        effect.transferRightToLeft = true;
    }
    return effect;
}

}  // namespace vmx
