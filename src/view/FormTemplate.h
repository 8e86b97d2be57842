#pragma once

#include <QRect>
#include <QString>

#include <span>

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

// A control's pixel rectangle in a form extra pixels wider and higher than its design size.
QRect Place(const QRect& designPixels, const Anchor& anchor, int extraWidth, int extraHeight);

} // namespace FormTemplate
