#include "controls/DialogUnits.h"

#include <QFontMetrics>

namespace vmx {

QFont DialogFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

int DluToPixelsX(int dlu, DialogBaseUnits units)
{
    return dlu * units.x / 4;
}

int DluToPixelsY(int dlu, DialogBaseUnits units)
{
    return dlu * units.y / 8;
}

QRect DluToPixels(const QRect& dlu, DialogBaseUnits units)
{
    return QRect(DluToPixelsX(dlu.x(), units), DluToPixelsY(dlu.y(), units),
                 DluToPixelsX(dlu.width(), units), DluToPixelsY(dlu.height(), units));
}

}  // namespace vmx
