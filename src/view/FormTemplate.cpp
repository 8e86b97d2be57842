#include "view/FormTemplate.h"

#include <algorithm>
#include <cmath>

namespace FormTemplate {
namespace {

// The upper half (player, details) takes half of any extra height, the panes the other half;
// the left column takes half of any extra width, the right column moves by it and takes the rest.
constexpr Anchor kPlayer{0, 0, 0.5, 0.5};
constexpr Anchor kUnderPlayer{0, 0.5, 0.5, 0};
constexpr Anchor kFullWidthUnderPlayer{0, 0.5, 1, 0};
constexpr Anchor kDetailsLine{0.5, 0, 0.5, 0};
constexpr Anchor kDetailsButton{0.5, 0, 0, 0};
constexpr Anchor kLowerLeft{0, 0.5, 0, 0};
constexpr Anchor kLowerMiddle{0.5, 0.5, 0, 0};
constexpr Anchor kLeftPane{0, 0.5, 0.5, 0.5};
constexpr Anchor kRightPane{0.5, 0.5, 0.5, 0.5};
constexpr Anchor kLeftCaption{0, 1, 0.5, 0};
constexpr Anchor kRightCaption{0.5, 1, 0.5, 0};
constexpr Anchor kBottomMiddle{0.5, 1, 0, 0};

const Control kControls[] = {
    {ControlId::kPlayer, Kind::Player, {7, 7, 228, 137}, "", kPlayer},
    {ControlId::kPositionSlider, Kind::Slider, {7, 144, 229, 10}, "", kUnderPlayer},
    {ControlId::kMarkBar, Kind::MarkBar, {7, 154, 479, 35}, "", kFullWidthUnderPlayer},
    {ControlId::kLeftPane, Kind::Pane, {7, 207, 192, 134}, "", kLeftPane},
    {ControlId::kRightPane, Kind::Pane, {293, 207, 192, 132}, "", kRightPane},
    {ControlId::kModeSelector, Kind::ModeSelector, {218, 191, 61, 56}, "", kLowerMiddle},
    {ControlId::kNameEdit, Kind::NameEdit, {218, 205, 61, 14}, "", kLowerMiddle},
    {ControlId::kHeaderLabel, Kind::Label, {246, 7, 227, 20}, "Information", kDetailsLine},
    {ControlId::kDetailsLine1, Kind::Label, {246, 28, 210, 15}, "", kDetailsLine},
    {ControlId::kDetailsLine2, Kind::Label, {246, 45, 210, 15}, "", kDetailsLine},
    {ControlId::kDetailsLine3, Kind::Label, {246, 62, 210, 15}, "", kDetailsLine},
    {ControlId::kTimeLabel, Kind::Label, {247, 119, 112, 22}, "", kDetailsButton},
    {ControlId::kLeftCaption, Kind::Label, {7, 350, 193, 11}, "", kLeftCaption},
    {ControlId::kRightCaption, Kind::Label, {292, 350, 194, 11}, "", kRightCaption},
    {ControlId::kPathLabel, Kind::Label, {208, 347, 77, 14}, "<< Load Path >>", kBottomMiddle},
    {ControlId::kLoadLeft, Kind::Button, {0, 191, 50, 14}, "L", kLowerLeft},
    {ControlId::kLoadRight, Kind::Button, {283, 191, 58, 14}, "R", kLowerMiddle},
    {ControlId::kRename, Kind::Button, {208, 222, 77, 14}, "RE", kLowerMiddle},
    {ControlId::kTransferLeftToRight, Kind::Button, {208, 244, 77, 14}, "AL", kLowerMiddle},
    {ControlId::kTransferRightToLeft, Kind::Button, {208, 269, 77, 14}, "AR", kLowerMiddle},
    {ControlId::kMerge, Kind::Button, {215, 294, 45, 15}, "ME", kLowerMiddle},
    {ControlId::kConvert, Kind::Button, {216, 316, 38, 15}, "EN", kLowerMiddle},
    {ControlId::kCut, Kind::Button, {375, 113, 75, 26}, "PR", kDetailsButton},
    {ControlId::kAddStretch, Kind::Button, {453, 113, 33, 26}, "ADD", kDetailsButton},
    {ControlId::kPlay, Kind::Button, {253, 88, 32, 14}, "PL", kDetailsButton},
    {ControlId::kPause, Kind::Button, {319, 88, 31, 14}, "PA", kDetailsButton},
    {ControlId::kStop, Kind::Button, {397, 88, 28, 14}, "S", kDetailsButton},
    {ControlId::kChooseJpegFiles, Kind::Button, {144, 191, 50, 14}, "J", kLowerLeft},
    {ControlId::kChooseMp3Files, Kind::Button, {71, 191, 50, 14}, "M", kLowerLeft},
};

int Share(double fraction, int extra)
{
    return int(std::lround(fraction * extra));
}

} // namespace

Strip UndoStrip()
{
    return {{345, 191, 141, 14}, kLowerMiddle};
}

std::span<const Control> Controls()
{
    return kControls;
}

const Control* Find(int id)
{
    const auto it = std::find_if(std::begin(kControls), std::end(kControls),
                                 [id](const Control& c) { return c.id == id; });
    return it == std::end(kControls) ? nullptr : &*it;
}

QRect Place(const QRect& designPixels, const Anchor& anchor, int extraWidth, int extraHeight)
{
    const int dx = std::max(0, extraWidth);
    const int dy = std::max(0, extraHeight);
    return QRect(designPixels.x() + Share(anchor.moveX, dx), designPixels.y() + Share(anchor.moveY, dy),
                 designPixels.width() + Share(anchor.growX, dx), designPixels.height() + Share(anchor.growY, dy));
}

} // namespace FormTemplate
