#include "controls/CColorFormView.h"

#include <QPainter>
#include <QPaintEvent>

CColorFormView::CColorFormView(QWidget* parent)
    : QWidget(parent)
    , m_crBackground(vmx::FromQColor(palette().color(QPalette::Button)))
    , m_brush(vmx::ToQColor(m_crBackground))
{
}

void CColorFormView::SetBackgroundColor(vmx::ColorRef color)
{
    m_crBackground = color;
    m_brush = QBrush(vmx::ToQColor(color));
}

void CColorFormView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), m_brush);
}
