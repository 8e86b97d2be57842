#include "controls/Artwork.h"

#include "controls/ArtworkFormat.h"

#include <QFile>
#include <QGuiApplication>
#include <QResource>

namespace vmx {

QPixmap LoadArtwork(const QString& name)
{
    if (name.isEmpty())
        return {};
    const QString base = name.contains(QLatin1Char('/')) ? name : QStringLiteral(":/art/") + name;
    if (qApp != nullptr && qApp->devicePixelRatio() > 1.0 && QFile::exists(base + QStringLiteral("@2x.png"))) {
        QPixmap big(base + QStringLiteral("@2x.png"));
        big.setDevicePixelRatio(2.0);
        return big;
    }
    // The program's own 1x drawings are compiled in as their pixels (ArtworkFormat.h).
    if (const QResource raw(base + QStringLiteral(".argb")); raw.isValid())
        return QPixmap::fromImage(ImageOfRawArtwork(raw.uncompressedData()));
    return QPixmap(base + QStringLiteral(".png"));
}

}  // namespace vmx
