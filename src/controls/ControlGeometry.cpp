#include "controls/ControlGeometry.h"

#include <cmath>
#include <cstdint>

namespace vmx {

int SliderPositionToPixel(const SliderAxis& axis, int position, int minimum, int maximum)
{
    const std::int64_t travel = axis.length - axis.marginHigh - axis.thumb - axis.marginLow;
    const std::int64_t range = std::int64_t(maximum) - minimum;
    const std::int64_t offset = range == 0 ? 0 : travel * (std::int64_t(position) - minimum) / range;
    return int(axis.marginLow + offset + axis.thumb / 2);
}

int SliderPixelToPosition(const SliderAxis& axis, int pixel, int minimum, int maximum)
{
    const std::int64_t travel = axis.length - axis.marginLow - axis.marginHigh - axis.thumb;
    if (travel == 0)
        return minimum;
    // minimum + offset / travel * range, in exact integers: one pixel of travel over a range of
    // as many positions must move exactly one position, which floating point can miss.
    const std::int64_t offset = pixel - axis.thumb / 2 - axis.marginLow;
    const std::int64_t range = std::int64_t(maximum) - minimum;
    return int((std::int64_t(minimum) * travel + offset * range) / travel);
}

double RoundTo(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::floor(value * scale + 0.5) / scale;
}

int MarkValueToPixel(const MarkAxis& axis, float value)
{
    if (axis.span == 0.0f)
        return int(RoundTo(axis.start, 0));
    return int(RoundTo((double(value) - axis.minimum) / axis.span * axis.length + axis.start, 0));
}

float MarkPixelToValue(const MarkAxis& axis, int pixel)
{
    if (axis.length == 0.0)
        return axis.minimum;
    return float(RoundTo(axis.minimum + axis.span / axis.length * (pixel - axis.start), 1));
}

}  // namespace vmx
