#include "controls/CColorLabel.h"

#include <QLinearGradient>
#include <QPainter>

CColorLabel::CColorLabel(QWidget* parent)
    : QWidget(parent)
    , gradientFrom(vmx::FromQColor(palette().color(QPalette::Active, QPalette::Highlight)))
    , gradientTo(vmx::FromQColor(palette().color(QPalette::Button)))
    , textColor(vmx::FromQColor(palette().color(QPalette::Active, QPalette::HighlightedText)))
{
}

void CColorLabel::SetText(const QString& text)
{
    m_text = text;
    update();
}

QRect CColorLabel::TextRect(const QRect& client, int align, int textMargin, Qt::Alignment* flags)
{
    if (align == 1) {
        *flags = Qt::AlignHCenter;
        return client;
    }
    if (align == 0) {
        *flags = Qt::AlignLeft;
        return client.adjusted(textMargin, 0, 0, 0);
    }
    *flags = Qt::AlignRight;
    return client.adjusted(0, 0, -textMargin, 0);
}

void CColorLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect client = rect();
    QLinearGradient gradient(client.topLeft(), vertical ? client.bottomLeft() : client.topRight());
    gradient.setColorAt(0.0, vmx::ToQColor(gradientFrom));
    gradient.setColorAt(1.0, vmx::ToQColor(gradientTo));
    painter.fillRect(client, gradient);

    Qt::Alignment horizontal;
    const QRect target = TextRect(client, alignment, margin, &horizontal);
    painter.setPen(vmx::ToQColor(textColor));
    painter.setFont(font());
    painter.setClipRect(client);
    painter.drawText(target, int(horizontal | Qt::AlignVCenter) | Qt::TextSingleLine, m_text);
}
