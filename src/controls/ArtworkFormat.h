#pragma once

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <cstring>

namespace vmx {

// The form in which the program's 1x artwork is compiled into it: "VMXA", the width and the
// height (32 bits each, in the machine's order), then the pixels row by row as
// QImage::Format_ARGB32_Premultiplied holds them. Taking such a drawing is a copy: no image
// decoder (nor Qt's search for image plugins) runs while the window is made. The drawing program
// and the program run on the same machine, so the machine's order is theirs.

inline QByteArray RawArtwork(const QImage& drawn)
{
    const QImage image = drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const std::uint32_t size[2] = {std::uint32_t(image.width()), std::uint32_t(image.height())};
    QByteArray raw("VMXA", 4);
    raw.append(reinterpret_cast<const char*>(size), sizeof size);
    for (int y = 0; y < image.height(); ++y)
        raw.append(reinterpret_cast<const char*>(image.constScanLine(y)), image.width() * 4);
    return raw;
}

// The drawing in `raw`, or a null image when `raw` is not one.
inline QImage ImageOfRawArtwork(const QByteArray& raw)
{
    std::uint32_t size[2] = {};
    if (raw.size() < 12 || !raw.startsWith("VMXA"))
        return {};
    std::memcpy(size, raw.constData() + 4, sizeof size);
    if (size[0] == 0 || size[1] == 0 || size[0] > 4096 || size[1] > 4096 ||
        qsizetype(size[0]) * size[1] * 4 != raw.size() - 12)
        return {};
    QImage image(static_cast<int>(size[0]), static_cast<int>(size[1]), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(image.scanLine(y), raw.constData() + 12 + qsizetype(y) * image.width() * 4, std::size_t(image.width()) * 4);
    return image;
}

}  // namespace vmx
