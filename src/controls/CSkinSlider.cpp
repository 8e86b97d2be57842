#include "controls/CSkinSlider.h"

#include "controls/Artwork.h"
#include "controls/CSliderMessage.h"

#include <QApplication>
#include <QBitmap>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <cstdlib>

namespace {

// Loads one skin bitmap; with a mask, every pixel of the mask colour becomes transparent.
bool LoadSkin(const QString& name, bool useMask, vmx::ColorRef maskColor, int sampleX, int sampleY, QPixmap* out)
{
    *out = QPixmap();
    if (name.isEmpty())
        return true;
    QPixmap pixmap = vmx::LoadArtwork(name);
    if (pixmap.isNull())
        return false;
    if (useMask) {
        const QImage image = pixmap.toImage();
        const qreal ratio = pixmap.devicePixelRatio();
        const QRgb key = maskColor == CSkinSlider::kSampleColor
                             ? image.pixel(int(sampleX * ratio), int(sampleY * ratio))
                             : vmx::ToQColor(maskColor).rgb();
        pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(key, Qt::MaskInColor)));
    }
    *out = pixmap;
    return true;
}

// Both bitmaps of a role, or neither when one of them cannot be loaded.
bool LoadSkinPair(const QString& first, const QString& second, bool useMask, vmx::ColorRef maskColor, int sampleX,
                  int sampleY, QPixmap* outFirst, QPixmap* outSecond)
{
    if (LoadSkin(first, useMask, maskColor, sampleX, sampleY, outFirst)
        && LoadSkin(second, useMask, maskColor, sampleX, sampleY, outSecond))
        return true;
    *outFirst = QPixmap();
    *outSecond = QPixmap();
    return false;
}

QSize LogicalSize(const QPixmap& pixmap)
{
    return pixmap.deviceIndependentSize().toSize();
}

// Draws a channel bitmap stretched along the axis: both end caps as drawn, the middle widened.
void DrawChannel(QPainter& painter, const QPixmap& channel, const QRect& target, bool vertical)
{
    const QSize size = LogicalSize(channel);
    const qreal ratio = channel.devicePixelRatio();
    const int length = vertical ? size.height() : size.width();
    const int cap = std::min(4, length / 3);
    auto source = [&](int from, int extent) {
        return vertical ? QRectF(0, from * ratio, size.width() * ratio, extent * ratio)
                        : QRectF(from * ratio, 0, extent * ratio, size.height() * ratio);
    };
    auto dest = [&](int from, int extent) {
        return vertical ? QRectF(target.x(), target.y() + from, target.width(), extent)
                        : QRectF(target.x() + from, target.y(), extent, target.height());
    };
    const int targetLength = vertical ? target.height() : target.width();
    painter.drawPixmap(dest(0, cap), channel, source(0, cap));
    painter.drawPixmap(dest(cap, targetLength - 2 * cap), channel, source(cap, length - 2 * cap));
    painter.drawPixmap(dest(targetLength - cap, cap), channel, source(length - cap, cap));
}

} // namespace

CSkinSlider::CSkinSlider(QWidget* parent, int controlId, bool vertical)
    : QWidget(parent)
    , m_controlId(controlId)
    , m_vertical(vertical)
{
    setFocusPolicy(Qt::StrongFocus);
}

void CSkinSlider::SetRange(int minimum, int maximum, bool redraw)
{
    m_min = minimum;
    m_max = maximum;
    m_pos = std::max(std::min(m_pos, m_max), m_min);
    if (redraw)
        update();
}

void CSkinSlider::SetPos(int position)
{
    m_pos = std::max(std::min(position, m_max), m_min);
    update();
}

void CSkinSlider::SetMargins(int left, int top, int right, int bottom)
{
    m_marginLeft = left;
    m_marginTop = top;
    m_marginRight = right;
    m_marginBottom = bottom;
}

void CSkinSlider::Enable(bool enable)
{
    m_enabled = enable;
    if (!enable && m_dragging) {
        m_dragging = false;
        releaseMouse();
    }
    setFocusPolicy(enable ? Qt::StrongFocus : Qt::NoFocus);
    update();
}

void CSkinSlider::SetShowFocus(bool show, bool redraw)
{
    m_showFocus = show;
    if (redraw)
        update();
}

bool CSkinSlider::SetChannelBitmaps(const QString& normal, const QString& active, bool useMask,
                                    vmx::ColorRef maskColor, int sampleX, int sampleY)
{
    QPixmap first;
    QPixmap second;
    const bool ok = LoadSkinPair(normal, active, useMask, maskColor, sampleX, sampleY, &first, &second);
    SetChannelPixmaps(first, second);
    return ok;
}

bool CSkinSlider::SetThumbBitmaps(const QString& normal, const QString& pressed, bool useMask,
                                  vmx::ColorRef maskColor, int sampleX, int sampleY)
{
    QPixmap first;
    QPixmap second;
    const bool ok = LoadSkinPair(normal, pressed, useMask, maskColor, sampleX, sampleY, &first, &second);
    SetThumbPixmaps(first, second);
    return ok;
}

void CSkinSlider::SetChannelPixmaps(const QPixmap& normal, const QPixmap& active)
{
    m_channel = normal;
    m_channelActive = normal.isNull() ? QPixmap() : active;
    if (!m_channel.isNull())
        resize(LogicalSize(m_channel));
    update();
}

void CSkinSlider::SetThumbPixmaps(const QPixmap& normal, const QPixmap& pressed)
{
    m_thumb = normal;
    m_thumbPressed = normal.isNull() ? QPixmap() : pressed;
    update();
}

vmx::SliderAxis CSkinSlider::Axis() const
{
    const QSize thumb = LogicalSize(m_thumb);
    if (m_vertical)
        return vmx::SliderAxis{height(), thumb.height(), m_marginTop, m_marginBottom};
    return vmx::SliderAxis{width(), thumb.width(), m_marginLeft, m_marginRight};
}

int CSkinSlider::AlongAxis(const QPointF& point) const
{
    return int(m_vertical ? point.y() : point.x());
}

int CSkinSlider::ThumbCenter() const
{
    return PixelOfPosition(m_pos);
}

int CSkinSlider::PixelOfPosition(int position) const
{
    return vmx::SliderPositionToPixel(Axis(), position, m_min, m_max);
}

void CSkinSlider::Post(int message)
{
    if (parentWidget() != nullptr)
        QCoreApplication::postEvent(parentWidget(), new CSliderMessage(message, m_controlId, m_pos));
}

void CSkinSlider::mousePressEvent(QMouseEvent* event)
{
    if (!m_enabled || event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    m_dragging = true;
    const int pointer = AlongAxis(event->position());
    const int fromCentre = pointer - ThumbCenter();
    const int halfThumb = Axis().thumb / 2;
    m_grabOffset = std::abs(fromCentre) > halfThumb ? 0 : fromCentre;
    DragTo(pointer);
    update();
}

void CSkinSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (m_enabled && m_dragging)
        DragTo(AlongAxis(event->position()));
}

void CSkinSlider::DragTo(int pointer)
{
    const vmx::SliderAxis axis = Axis();
    const int low = axis.marginLow + axis.thumb / 2;
    const int high = axis.length - axis.marginHigh - axis.thumb / 2;
    const int pixel = std::max(low, std::min(pointer - m_grabOffset, high));
    if (pixel == ThumbCenter())
        return;
    m_pos = std::max(std::min(vmx::SliderPixelToPosition(axis, pixel, m_min, m_max), m_max), m_min);
    update();
    Post(WM_SLIDER_TRACKING);
}

void CSkinSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_enabled || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    update();
    Post(WM_SLIDER_RELEASED);
}

bool CSkinSlider::event(QEvent* event)
{
    // The arrow keys step the focused slider, before any shortcut of the window takes them.
    if (event->type() == QEvent::ShortcutOverride && m_enabled) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool arrow = key->key() == Qt::Key_Left || key->key() == Qt::Key_Right || key->key() == Qt::Key_Up ||
                           key->key() == Qt::Key_Down;
        if (arrow && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void CSkinSlider::keyPressEvent(QKeyEvent* event)
{
    if (!m_enabled) {
        event->ignore();
        return;
    }
    int position = m_pos;
    switch (event->key()) {
    case Qt::Key_PageUp: position -= m_pageSize; break;
    case Qt::Key_PageDown: position += m_pageSize; break;
    case Qt::Key_End: position = m_max; break;
    case Qt::Key_Home: position = m_min; break;
    case Qt::Key_Right:
    case Qt::Key_Down: position += 1; break;
    case Qt::Key_Left:
    case Qt::Key_Up: position -= 1; break;
    default: QWidget::keyPressEvent(event); return;
    }
    SetPos(position);
    Post(WM_SLIDER_RELEASED);
}

void CSkinSlider::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void CSkinSlider::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void CSkinSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect client = rect();
    const int centre = ThumbCenter();
    if (m_channel.isNull()) {
        painter.fillRect(client, palette().color(QPalette::Mid));
    } else {
        DrawChannel(painter, m_channel, client, m_vertical);
        if (!m_channelActive.isNull() && m_enabled) {
            painter.save();
            painter.setClipRect(m_vertical ? QRect(0, 0, client.width(), centre)
                                           : QRect(0, 0, centre, client.height()));
            DrawChannel(painter, m_channelActive, client, m_vertical);
            painter.restore();
        }
    }
    if (m_enabled) {
        const QPixmap& thumb = m_dragging && !m_thumbPressed.isNull() ? m_thumbPressed : m_thumb;
        const QSize size = thumb.isNull() ? QSize(8, client.height()) : LogicalSize(thumb);
        const QPoint topLeft = m_vertical ? QPoint(m_marginLeft, centre - size.height() / 2)
                                          : QPoint(centre - size.width() / 2, m_marginTop);
        if (thumb.isNull())
            painter.fillRect(QRect(topLeft, size), palette().color(QPalette::Highlight));
        else
            painter.drawPixmap(topLeft, thumb);
    }
    if (m_showFocus && hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}
