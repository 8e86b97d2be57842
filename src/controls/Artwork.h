#pragma once

#include <QPixmap>
#include <QString>

namespace vmx {

// Loads one piece of the program's artwork by name (":/art/<name>.argb" or ".png"; a name with a
// '/' is a file path without its ".png"), taking the "@2x" drawing on screens with a device pixel
// ratio above 1. A null pixmap when there is none.
QPixmap LoadArtwork(const QString& name);

}  // namespace vmx
