#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace vmx {

// Dialog units: the main form is laid out in units of a quarter of the dialog font's average
// character width and an eighth of its height, so the whole form scales with the font.
struct DialogBaseUnits {
    int x = 6;
    int y = 13;
};

// The font the main form and its artwork are laid out with.
QFont DialogFont();

// Base units of a font: the average width of the 52 Latin letters (rounded) and the line height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// Dialog units to pixels, truncated the way the window system maps dialog templates.
int DluToPixelsX(int dlu, DialogBaseUnits units);
int DluToPixelsY(int dlu, DialogBaseUnits units);
QRect DluToPixels(const QRect& dlu, DialogBaseUnits units);

}  // namespace vmx
