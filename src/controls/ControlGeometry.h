#pragma once

namespace vmx {

// Value-to-pixel arithmetic of the skin slider and the mark bar, kept apart from painting so it
// can be checked on its own.

// One axis of the skin slider: control extent, thumb extent and the margins at both ends.
struct SliderAxis {
    int length = 0;
    int thumb = 0;
    int marginLow = 0;
    int marginHigh = 0;
};

// Pixel of the thumb's centre for a position. An empty range puts the thumb at its first place.
int SliderPositionToPixel(const SliderAxis& axis, int position, int minimum, int maximum);

// Position under a thumb-centre pixel (not clamped). A zero-length travel gives the minimum.
int SliderPixelToPosition(const SliderAxis& axis, int pixel, int minimum, int maximum);

// floor(x * 10^decimals + 0.5) / 10^decimals.
double RoundTo(double value, int decimals);

// The mark bar's value axis: the channel's first pixel and its signed extent (negative when
// the axis runs the other way).
struct MarkAxis {
    double start = 0;
    double length = 0;
    float minimum = 0;
    float span = 0;
};

// Pixel of a value, rounded to a whole pixel. An empty span maps everything to the start.
int MarkValueToPixel(const MarkAxis& axis, float value);

// Value under a pixel, rounded to one decimal. A zero-length channel gives the minimum.
float MarkPixelToValue(const MarkAxis& axis, int pixel);

}  // namespace vmx
