#pragma once

#include "recording/ReceiverDisk.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vmx {

// What the two panes list: recordings of two databases, or PC files (left) and the receiver's
// MP3 or IMAGE folder (right). None is the view's mode before its initial update.
enum class ViewMode { Record = 0, Mp3 = 1, Jpeg = 2, None = 10 };

// Setting up the panes while the player plays is refused with this text.
inline constexpr const char* kWhileMessage = "While";
// Loading a database while the player plays is refused with this text.
inline constexpr const char* kLoadWhilePlayingMessage =
    "Can't load data files while video player is running. Please retry after stopping video.";

// The mode selector's entries, in the order of the modes.
inline constexpr std::array<const char*, 3> kModeNames{"RECORD MODE", "MP3 MODE", "JPEG MODE"};

// The mode of a mode selector entry; None for an index that names no mode.
ViewMode ModeOfIndex(int index);

// The receiver folder a media mode works on (MP3 for Mp3, IMAGE for Jpeg).
std::optional<MediaKind> MediaKindOfMode(ViewMode mode);

// The buttons a mode switches on or off; the others keep their state.
struct ModeButtons {
    bool load = false;        // L and R
    bool chooseJpeg = false;  // J
    bool chooseMp3 = false;   // M
    bool convert = false;     // EN
    bool merge = false;       // ME
};

// The buttons of a mode; nothing for a value that is no mode (the buttons stay as they are).
std::optional<ModeButtons> ButtonsForMode(ViewMode mode);

struct PaneColumn {
    const char* title;
    int width;  // pixels
};

// How the panes look in a mode: the columns of each pane, their captions and, in the media modes,
// the texts of the three details lines.
struct PaneSetup {
    std::array<std::vector<PaneColumn>, 2> columns;
    std::array<std::string, 2> captions;
    std::optional<std::array<std::string, 3>> detailsLines;
};

PaneSetup PaneSetupFor(ViewMode mode);

// What a click in a pane does besides making its side the active side and `row` (-1 when no row
// was hit) its selected row.
struct RowClickEffect {
    bool showDetails = false;
    std::optional<bool> transferLeftToRight;  // AL on or off; nothing: unchanged
    std::optional<bool> transferRightToLeft;  // AR
};

RowClickEffect RowClick(int side, int row, ViewMode mode, bool paneLoaded);

}  // namespace vmx
