#include "controls/CBitmapButton.h"

#include "controls/Artwork.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

CBitmapButton::CBitmapButton(QWidget* parent, int controlId)
    : QAbstractButton(parent)
    , m_controlId(controlId)
{
    setFocusPolicy(Qt::StrongFocus);
}

bool CBitmapButton::LoadBitmaps(const QString& caption)
{
    setText(caption);
    m_up = vmx::LoadArtwork(caption + QLatin1Char('U'));
    m_down = vmx::LoadArtwork(caption + QLatin1Char('D'));
    m_disabled = vmx::LoadArtwork(caption + QLatin1Char('X'));
    update();
    return !m_up.isNull() && !m_down.isNull();
}

QSize CBitmapButton::sizeHint() const
{
    return m_up.isNull() ? QSize(50, 22) : m_up.deviceIndependentSize().toSize();
}

void CBitmapButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPixmap* look = &m_up;
    if (!isEnabled() && !m_disabled.isNull())
        look = &m_disabled;
    else if (isDown() && !m_down.isNull())
        look = &m_down;
    if (look->isNull()) {
        painter.fillRect(rect(), palette().color(isDown() ? QPalette::Dark : QPalette::Button));
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(rect(), Qt::AlignCenter, text());
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, look->deviceIndependentSize().toSize() != size());
        painter.drawPixmap(rect(), *look);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}
