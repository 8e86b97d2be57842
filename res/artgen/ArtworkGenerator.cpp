// Draws the program's artwork: the position slider's channel (132, and 133 for the played part)
// and thumb (135, and 136 pressed, on a magenta key colour that the slider masks out), and every
// command button's normal (U), pressed (D) and disabled (X) look. Each is drawn at the size the
// form's template gives the control, once at 1x and once at 2x, so both stay crisp.

#include "controls/ArtworkFormat.h"
#include "controls/DialogUnits.h"
#include "view/FormTemplate.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&, QSize)>;

// The 1x drawing as the window takes it at start: its pixels as they are in memory (see
// controls/Artwork.h), so that no image decoder is started for it; the 2x drawing, for screens
// that scale, as PNG.
bool Save(const QString& folder, const QString& name, QSize size, const Draw& draw)
{
    for (const int scale : {1, 2}) {
        QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        draw(painter, size);
        painter.end();
        const QString file = folder + QLatin1Char('/') + name + (scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".argb"));
        bool written = false;
        if (scale == 2) {
            written = image.save(file);
        } else if (QFile out(file); out.open(QIODevice::WriteOnly)) {
            const QByteArray pixels = vmx::RawArtwork(image);
            written = out.write(pixels) == pixels.size() && out.flush();
        }
        if (!written) {
            std::fprintf(stderr, "velmorix-artgen: cannot write %s\n", qPrintable(file));
            return false;
        }
    }
    return true;
}

QLinearGradient Vertical(QSize size, QColor top, QColor bottom)
{
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

// A groove with rounded ends; its middle columns are all alike so it can be widened freely.
Draw Channel(QColor top, QColor bottom)
{
    return [=](QPainter& p, QSize size) {
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF groove(0.5, 3.5, size.width() - 1, size.height() - 5);
        p.setPen(QPen(QColor(30, 30, 40), 1));
        p.setBrush(Vertical(size, top, bottom));
        p.drawRoundedRect(groove, 3, 3);
    };
}

// A knob on the key colour; drawn without smoothing so the mask keeps clean edges.
Draw Thumb(QColor face, QColor edge)
{
    return [=](QPainter& p, QSize size) {
        p.fillRect(QRect(QPoint(0, 0), size), QColor(255, 0, 255));
        const QRect body(1, 0, size.width() - 2, size.height());
        p.setPen(Qt::NoPen);
        p.setBrush(edge);
        p.drawRect(body.adjusted(1, 0, -1, 0));
        p.drawRect(body.adjusted(0, 1, 0, -1));
        p.setBrush(face);
        p.drawRect(body.adjusted(1, 1, -1, -1));
        p.setBrush(face.lighter(140));
        p.drawRect(QRect(body.left() + 2, body.top() + 2, 2, body.height() - 4));
    };
}

enum class Look { Up, Down, Disabled };

Draw Button(const QString& caption, Look look)
{
    return [=](QPainter& p, QSize size) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const bool down = look == Look::Down;
        const bool disabled = look == Look::Disabled;
        const QColor top = disabled ? QColor(200, 200, 200) : down ? QColor(20, 60, 120) : QColor(80, 140, 220);
        const QColor bottom = disabled ? QColor(160, 160, 160) : down ? QColor(50, 100, 180) : QColor(20, 60, 140);
        const QRectF body = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(0.5, 0.5, -0.5, -0.5);
        p.setPen(QPen(disabled ? QColor(130, 130, 130) : QColor(10, 25, 60), 1));
        p.setBrush(Vertical(size, top, bottom));
        p.drawRoundedRect(body, 4, 4);
        if (!disabled) { // a highlight across the upper half, pressed buttons have none
            QPainterPath shine;
            shine.addRoundedRect(body.adjusted(1.5, 1.5, -1.5, -body.height() / 2), 3, 3);
            p.fillPath(shine, QColor(255, 255, 255, down ? 0 : 50));
        }
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setBold(true);
        font.setPixelSize(std::max(9, std::min(size.height() - 8, 15)));
        p.setFont(font);
        const QRectF text = body.translated(down ? 1 : 0, down ? 1 : 0);
        if (!disabled) {
            p.setPen(QColor(0, 0, 0, 110));
            p.drawText(text.translated(1, 1), Qt::AlignCenter, caption);
        }
        p.setPen(disabled ? QColor(120, 120, 120) : QColor(255, 255, 255));
        p.drawText(text, Qt::AlignCenter, caption);
    };
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmorix-artgen OUTPUT-FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "velmorix-artgen: cannot create %s\n", argv[1]);
        return 1;
    }
    const vmx::DialogBaseUnits units = vmx::BaseUnitsOf(vmx::DialogFont());
    bool ok = true;
    for (const FormTemplate::Control& control : FormTemplate::Controls()) {
        const QSize size = vmx::DluToPixels(control.dlu, units).size();
        if (control.kind == FormTemplate::Kind::Slider) {
            const QSize thumb(11, size.height() - 3); // the view's top margin is 3
            ok = ok && Save(folder, QStringLiteral("132"), size, Channel(QColor(70, 70, 80), QColor(140, 140, 150)))
                 && Save(folder, QStringLiteral("133"), size, Channel(QColor(255, 140, 0), QColor(200, 40, 0)))
                 && Save(folder, QStringLiteral("135"), thumb, Thumb(QColor(225, 225, 235), QColor(40, 40, 60)))
                 && Save(folder, QStringLiteral("136"), thumb, Thumb(QColor(255, 220, 90), QColor(40, 40, 60)));
        } else if (control.kind == FormTemplate::Kind::Button) {
            const QString caption = QString::fromLatin1(control.caption);
            ok = ok && Save(folder, caption + QLatin1Char('U'), size, Button(caption, Look::Up))
                 && Save(folder, caption + QLatin1Char('D'), size, Button(caption, Look::Down))
                 && Save(folder, caption + QLatin1Char('X'), size, Button(caption, Look::Disabled));
        }
    }
    return ok ? 0 : 1;
}
