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
    {1000, Kind::Player, {7, 7, 228, 137}, "", kPlayer},
    {1023, Kind::Slider, {7, 144, 229, 10}, "", kUnderPlayer},
    {1014, Kind::MarkBar, {7, 154, 479, 35}, "", kFullWidthUnderPlayer},
    {1001, Kind::Pane, {7, 207, 192, 134}, "", kLeftPane},
    {1002, Kind::Pane, {293, 207, 192, 132}, "", kRightPane},
    {1003, Kind::ModeSelector, {218, 191, 61, 56}, "", kLowerMiddle},
    {1012, Kind::NameEdit, {218, 205, 61, 14}, "", kLowerMiddle},
    {1028, Kind::Label, {246, 7, 227, 20}, "Information", kDetailsLine},
    {1019, Kind::Label, {246, 28, 210, 15}, "", kDetailsLine},
    {1011, Kind::Label, {246, 45, 210, 15}, "", kDetailsLine},
    {1018, Kind::Label, {246, 62, 210, 15}, "", kDetailsLine},
    {1015, Kind::Label, {247, 119, 112, 22}, "", kDetailsButton},
    {1016, Kind::Label, {7, 350, 193, 11}, "", kLeftCaption},
    {1017, Kind::Label, {292, 350, 194, 11}, "", kRightCaption},
    {1029, Kind::Label, {208, 347, 77, 14}, "<< Load Path >>", kBottomMiddle},
    {1007, Kind::Button, {0, 191, 50, 14}, "L", kLowerLeft},
    {1008, Kind::Button, {283, 191, 58, 14}, "R", kLowerMiddle},
    {1013, Kind::Button, {208, 222, 77, 14}, "RE", kLowerMiddle},
    {1005, Kind::Button, {208, 244, 77, 14}, "AL", kLowerMiddle},
    {1006, Kind::Button, {208, 269, 77, 14}, "AR", kLowerMiddle},
    {1056, Kind::Button, {215, 294, 45, 15}, "ME", kLowerMiddle},
    {1054, Kind::Button, {216, 316, 38, 15}, "EN", kLowerMiddle},
    {1009, Kind::Button, {375, 113, 75, 26}, "PR", kDetailsButton},
    {1021, Kind::Button, {253, 88, 32, 14}, "PL", kDetailsButton},
    {1024, Kind::Button, {319, 88, 31, 14}, "PA", kDetailsButton},
    {1025, Kind::Button, {397, 88, 28, 14}, "S", kDetailsButton},
    {1031, Kind::Button, {144, 191, 50, 14}, "J", kLowerLeft},
    {1032, Kind::Button, {71, 191, 50, 14}, "M", kLowerLeft},
};

int Share(double fraction, int extra)
{
    return int(std::lround(fraction * extra));
}

} // namespace

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
