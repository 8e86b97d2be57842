#include "controls/Artwork.h"

#include <QFile>
#include <QGuiApplication>

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
    return QPixmap(base + QStringLiteral(".png"));
}

}  // namespace vmx
