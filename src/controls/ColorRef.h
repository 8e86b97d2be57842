#pragma once

#include <QColor>

#include <cstdint>

namespace vmx {

// Colours travel through the program as 32-bit 0x00BBGGRR values.
using ColorRef = std::uint32_t;

inline QColor ToQColor(ColorRef c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

inline ColorRef FromQColor(const QColor& c)
{
    return ColorRef(c.red()) | (ColorRef(c.green()) << 8) | (ColorRef(c.blue()) << 16);
}

}  // namespace vmx
