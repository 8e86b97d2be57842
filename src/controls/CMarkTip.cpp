#include "controls/CMarkTip.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace {
constexpr int kPadding = 3;
constexpr int kBottomGap = 20;
} // namespace

CMarkTip::CMarkTip()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QPoint CMarkTip::KeepOnScreen(const QPoint& point, const QSize& tip, const QRect& screen)
{
    QPoint at = point;
    if (at.x() + tip.width() > screen.right() + 1)
        at.setX(screen.right() + 1 - tip.width());
    if (at.y() + tip.height() > screen.bottom() + 1 - kBottomGap)
        at.setY(screen.bottom() + 1 - kBottomGap - tip.height());
    return at;
}

void CMarkTip::ShowTip(const QString& text, const QPoint& globalPoint)
{
    if (isVisible() && text == m_text && globalPoint == m_point)
        return;
    m_text = text;
    m_point = globalPoint;
    const QFontMetrics metrics(font());
    const QStringList lines = text.split(QLatin1Char('\n'));
    int width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const QSize size(width + 2 * kPadding, int(lines.size()) * metrics.height() + 2 * kPadding);
    resize(size);
    const QScreen* screen = QGuiApplication::screenAt(globalPoint);
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    move(screen != nullptr ? KeepOnScreen(globalPoint, size, screen->geometry()) : globalPoint);
    show();
    update();
}

void CMarkTip::HideTip()
{
    hide();
}

void CMarkTip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::ToolTipBase));
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const QFontMetrics metrics(font());
    int y = kPadding;
    for (const QString& line : m_text.split(QLatin1Char('\n'))) {
        painter.drawText(QRect(kPadding, y, width() - 2 * kPadding, metrics.height()), Qt::AlignLeft, line);
        y += metrics.height();
    }
}
