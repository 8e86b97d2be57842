#pragma once

#include <QRect>
#include <QString>

#include <span>

// The ids of the main form's controls (template 101).
namespace ControlId {
inline constexpr int kPlayer = 1000;
inline constexpr int kLeftPane = 1001;
inline constexpr int kRightPane = 1002;
inline constexpr int kModeSelector = 1003;
inline constexpr int kTransferLeftToRight = 1005;  // "AL"
inline constexpr int kTransferRightToLeft = 1006;  // "AR"
inline constexpr int kLoadLeft = 1007;             // "L"
inline constexpr int kLoadRight = 1008;            // "R"
inline constexpr int kCut = 1009;                  // "PR"
inline constexpr int kDetailsLine2 = 1011;
inline constexpr int kNameEdit = 1012;
inline constexpr int kRename = 1013;  // "RE"
inline constexpr int kMarkBar = 1014;
inline constexpr int kTimeLabel = 1015;
inline constexpr int kLeftCaption = 1016;
inline constexpr int kRightCaption = 1017;
inline constexpr int kDetailsLine3 = 1018;
inline constexpr int kDetailsLine1 = 1019;
inline constexpr int kPlay = 1021;  // "PL"
inline constexpr int kPositionSlider = 1023;
inline constexpr int kPause = 1024;  // "PA"
inline constexpr int kStop = 1025;   // "S"
inline constexpr int kHeaderLabel = 1028;
inline constexpr int kPathLabel = 1029;
inline constexpr int kChooseJpegFiles = 1031;  // "J"
inline constexpr int kChooseMp3Files = 1032;   // "M"
inline constexpr int kConvert = 1054;          // "EN"
inline constexpr int kMerge = 1056;            // "ME"
inline constexpr int kAddStretch = 1060;       // "ADD": the marked stretch onto the cut list
}  // namespace ControlId

// The main form's template: every control with its id, kind, place in dialog units, caption
// and how it follows a window larger than the form (shares of the extra width and height by
// which it moves and grows).
namespace FormTemplate {

inline constexpr int kWidthDlu = 493;
inline constexpr int kHeightDlu = 368;

enum class Kind { Player, Slider, MarkBar, Pane, ModeSelector, NameEdit, Label, Button };

struct Anchor {
    double moveX = 0;
    double moveY = 0;
    double growX = 0;
    double growY = 0;
};

struct Control {
    int id;
    Kind kind;
    QRect dlu;
    const char* caption;
    Anchor anchor;
};

std::span<const Control> Controls();
const Control* Find(int id);

// The strip right of R, above the right pane, that tells what the undo folders of the loaded
// databases hold and has the button that empties them; it moves with the right column.
struct Strip {
    QRect dlu;
    Anchor anchor;
};
Strip UndoStrip();

// A control's pixel rectangle in a form extra pixels wider and higher than its design size.
QRect Place(const QRect& designPixels, const Anchor& anchor, int extraWidth, int extraHeight);

} // namespace FormTemplate
