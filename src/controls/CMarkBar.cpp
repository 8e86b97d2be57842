#include "controls/CMarkBar.h"

#include <qdrawutil.h>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionFocusRect>
#include <QTimerEvent>

#include <algorithm>

namespace {
constexpr int kHoverMs = 1000;
constexpr int kChannelInset = 12;   // space between the bar's ends and the channel's ends
constexpr int kChannelThickness = 6;
constexpr int kBodyLength = 12;     // marker body across the axis
constexpr int kPointerLength = 6;   // marker pointer across the axis
constexpr int kTickLength = 4;
constexpr int kPressInset = 2;
constexpr int kHalfCursor = 16;
} // namespace

CMarkBar::CMarkBar(QWidget* parent, int controlId, bool vertical)
    : QWidget(parent)
    , m_controlId(controlId)
    , m_vertical(vertical)
    , m_tipFont(QStringLiteral("Arial"))
{
    m_tipFont.setPixelSize(12);
    m_tip.setFont(m_tipFont);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void CMarkBar::Initialise(float minimum, float maximum, int tickFrequency, int markerLimit,
                          const std::vector<float>* initialValues, const std::vector<vmx::ColorRef>& colors,
                          int style)
{
    m_min = minimum;
    m_max = maximum;
    m_span = maximum - minimum;
    m_tickFrequency = tickFrequency;
    m_markerLimit = markerLimit;
    m_colors.assign(colors.begin(), colors.begin() + std::min<std::ptrdiff_t>(
                                                         std::ptrdiff_t(colors.size()), markerLimit + 1));
    if (style >= 0)
        m_style = unsigned(style);
    m_markers.clear();
    m_lastTouched = -1;
    m_dragged = -1;
    m_pending.reset();
    if (initialValues != nullptr) {
        for (const float value : *initialValues)
            InsertMarker(value);
    }
    PruneOutOfRange();
    update();
}

std::vector<float> CMarkBar::GetMarks() const
{
    std::vector<float> sorted = m_markers;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

int CMarkBar::GetMarks(float* out, int capacity) const
{
    const std::vector<float> sorted = GetMarks();
    std::copy_n(sorted.begin(), std::min<std::size_t>(sorted.size(), std::size_t(std::max(capacity, 0))), out);
    return int(sorted.size());
}

int CMarkBar::InsertMarker(float value)
{
    const auto at = m_markers.insert(std::upper_bound(m_markers.begin(), m_markers.end(), value), value);
    return int(at - m_markers.begin());
}

int CMarkBar::RankOf(std::size_t index) const
{
    const float value = m_markers[index];
    int rank = 0;
    for (std::size_t j = 0; j < m_markers.size(); ++j)
        rank += m_markers[j] < value || (m_markers[j] == value && j < index);
    return rank;
}

int CMarkBar::SetMark(int index, float value)
{
    if (index < 0 || index > int(m_markers.size()) || (index == int(m_markers.size()) && index >= m_markerLimit))
        return -1;
    // The drag in progress, if any, ends here: its marker may be the one that moves.
    m_dragged = -1;
    m_pending.reset();
    std::vector<float> sorted = GetMarks();
    if (index < int(sorted.size()))
        sorted.erase(sorted.begin() + index);
    m_markers = std::move(sorted);
    m_lastTouched = InsertMarker(std::clamp(value, m_min, m_max));
    update();
    return m_lastTouched;
}

void CMarkBar::SetShadedStretches(const std::vector<std::pair<float, float>>& stretches, const std::vector<bool>& proposed)
{
    m_shaded = stretches;
    m_proposed = proposed;
    m_proposed.resize(stretches.size(), false);
    update();
}

void CMarkBar::PruneOutOfRange()
{
    std::erase_if(m_markers, [this](float value) { return !InRange(value); });
}

QRect CMarkBar::ChannelRect() const
{
    if (m_vertical) {
        const int x = width() / 2 - kChannelThickness / 2;
        return QRect(x, kChannelInset, kChannelThickness, std::max(0, height() - 2 * kChannelInset));
    }
    const int y = height() / 2 - kChannelThickness / 2;
    return QRect(kChannelInset, y, std::max(0, width() - 2 * kChannelInset), kChannelThickness);
}

vmx::MarkAxis CMarkBar::Axis() const
{
    const QRect channel = ChannelRect();
    const double start = m_vertical ? channel.top() : channel.left();
    const double length = m_vertical ? channel.height() : channel.width();
    if (m_style & kReversed)
        return vmx::MarkAxis{start + length, -length, m_min, m_span};
    return vmx::MarkAxis{start, length, m_min, m_span};
}

CMarkBar::MarkerRects CMarkBar::RectsOf(float value) const
{
    // Markers stand on the tick side (top or left) with their pointer against the channel.
    const QRect channel = ChannelRect();
    const int p = ValueToPixel(value);
    const int channelEdge = m_vertical ? channel.left() : channel.top();
    const int pointerStart = channelEdge - kPointerLength;
    const int bodyStart = pointerStart - kBodyLength;
    auto make = [this](int along, int across, int alongLength, int acrossLength) {
        return m_vertical ? QRect(across, along, acrossLength, alongLength)
                          : QRect(along, across, alongLength, acrossLength);
    };
    return MarkerRects{make(p - kHalfWidth, bodyStart, 2 * kHalfWidth + 1, kBodyLength),
                       make(p - kHalfWidth, pointerStart, kHalfWidth, kPointerLength),
                       make(p, pointerStart, kHalfWidth + 1, kPointerLength)};
}

QPoint CMarkBar::MarkerPoint(float value) const
{
    return RectsOf(value).body.center();
}

int CMarkBar::HitTest(const QPoint& point) const
{
    // The first marker in value order that is hit wins.
    std::vector<int> order(m_markers.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return m_markers[std::size_t(a)] < m_markers[std::size_t(b)]; });
    for (const int index : order) {
        if (RectsOf(m_markers[std::size_t(index)]).Contains(point))
            return index;
    }
    return -1;
}

bool CMarkBar::InChannel(int along, int inset) const
{
    // Only the position along the axis counts: the markers stand beside the thin channel.
    const QRect channel = ChannelRect();
    const int first = m_vertical ? channel.top() : channel.left();
    const int last = m_vertical ? channel.bottom() : channel.right();
    return along >= first + inset && along <= last - inset;
}

QString CMarkBar::Format(float value) const
{
    return QString::asprintf((m_style & kNoDecimals) ? "%.0f" : "%.1f", double(value));
}

void CMarkBar::ShowValueTip(float value, const QPoint& localPoint)
{
    if (m_style & kValueTip)
        m_tip.ShowTip(Format(value), mapToGlobal(localPoint + QPoint(kHalfCursor, kHalfCursor)));
}

void CMarkBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    if (!InChannel(Along(point), kPressInset))
        return;
    m_tip.HideTip();
    const int hit = HitTest(point);
    m_pending.reset();
    m_dragged = -1;
    m_clampState = 0;
    if (hit >= 0 || int(m_markers.size()) >= m_markerLimit) {
        m_dragged = hit;
        if (hit >= 0)
            m_dragStartValue = m_markers[std::size_t(hit)];
        if ((event->modifiers() & Qt::ControlModifier) && m_markers.size() == 2)
            m_moveBoth = true;
    } else {
        m_pending = PixelToValue(Along(point));
    }
    if (m_dragged >= 0)
        ShowValueTip(m_markers[std::size_t(m_dragged)], point);
}

void CMarkBar::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton) || m_dragged < 0) {
        m_hovered = HitTest(point);
        if (m_hovered >= 0) {
            m_hoverTimer.start(kHoverMs, this);
        } else {
            m_tip.HideTip();
            m_hoverTimer.stop();
        }
        return;
    }
    if ((m_style & kDragOutRemoves) && !rect().contains(point)) {
        setCursor(Qt::ForbiddenCursor);
        m_tip.HideTip();
        return;
    }
    unsetCursor();
    const std::size_t dragged = std::size_t(m_dragged);
    float value = PixelToValue(Along(point));
    if ((m_style & kNeighbourClamp) && m_markers.size() > 1) {
        if (dragged > 0 && m_markers[dragged - 1] >= value) {
            value = m_markers[dragged - 1];
            m_clampState = 1;
        } else if (dragged + 1 < m_markers.size() && value >= m_markers[dragged + 1]) {
            value = m_markers[dragged + 1];
            m_clampState = 2;
        } else {
            m_clampState = 0;
        }
    }
    const float delta = value - m_markers[dragged];
    if (m_moveBoth) {
        const bool fits = std::all_of(m_markers.begin(), m_markers.end(),
                                      [&](float v) { return InRange(v + delta); });
        if (fits) {
            for (float& v : m_markers)
                v += delta;
        }
    } else if (InRange(value)) {
        m_markers[dragged] = value;
    }
    ShowValueTip(m_markers[dragged], point);
    repaint();
    if (delta != 0) {
        m_lastTouched = RankOf(dragged);
        emit markMoved(m_markers[dragged], m_lastTouched);
    }
}

void CMarkBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    setFocus(Qt::MouseFocusReason);
    m_tip.HideTip();
    unsetCursor();
    const bool movedBoth = m_moveBoth;
    m_moveBoth = false;

    if (m_pending) {
        const float value = *m_pending;
        m_pending.reset();
        if (InChannel(Along(point), 0) && InRange(PixelToValue(Along(point)))) {
            m_lastTouched = InsertMarker(value);
            update();
            emit markAdded(value, m_lastTouched);
        }
        return;
    }
    if (m_dragged < 0)
        return;
    const std::size_t dragged = std::size_t(m_dragged);
    m_dragged = -1;
    if ((m_style & kDragOutRemoves) && !rect().contains(point)) {
        m_markers.erase(m_markers.begin() + std::ptrdiff_t(dragged));
        m_lastTouched = -1;
        update();
        return;
    }
    float value;
    if (movedBoth) {
        // Both markers moved together and stopped where either reached an end of the range:
        // the dragged one stays where that joint move left it.
        value = m_markers[dragged];
    } else if (m_clampState == 1 && dragged > 0) {
        value = m_markers[dragged - 1];
    } else if (m_clampState == 2 && dragged + 1 < m_markers.size()) {
        value = m_markers[dragged + 1];
    } else {
        value = PixelToValue(Along(point));
    }
    if (!(m_style & kDragOutRemoves)) {
        value = std::clamp(value, m_min, m_max);
        if (dragged != 0 && value == m_min)
            value = m_dragStartValue;
    }
    if (!InRange(value))
        return;
    m_markers.erase(m_markers.begin() + std::ptrdiff_t(dragged));
    m_lastTouched = InsertMarker(value);
    repaint();
    ShowValueTip(value, point);
    emit markNotify(m_controlId, kNotifyChanged);
    emit markMoved(value, m_lastTouched);
}

void CMarkBar::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_hoverTimer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    m_hoverTimer.stop();
    const QPoint point = mapFromGlobal(QCursor::pos());
    if (m_hovered >= 0 && std::size_t(m_hovered) < m_markers.size() && !m_moveBoth)
        ShowValueTip(m_markers[std::size_t(m_hovered)], point);
}

void CMarkBar::leaveEvent(QEvent* event)
{
    // The pointer left the bar, so it is over no marker any more: no tip will come for the
    // marker it last passed over.
    QWidget::leaveEvent(event);
    if (m_dragged >= 0)
        return;
    m_hovered = -1;
    m_hoverTimer.stop();
    m_tip.HideTip();
}

void CMarkBar::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void CMarkBar::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void CMarkBar::paintEvent(QPaintEvent*)
{
    QPixmap canvas(size() * devicePixelRatioF());
    canvas.setDevicePixelRatio(devicePixelRatioF());
    QPainter painter(&canvas);
    const QPalette& pal = palette();
    painter.fillRect(rect(), pal.color(QPalette::Button));

    const QRect channel = ChannelRect();
    painter.fillRect(channel, pal.color(QPalette::Base));
    qDrawShadePanel(&painter, channel, pal, true, 1);

    const std::vector<float> marks = GetMarks();
    if ((m_style & kSegmentColors) && !m_colors.empty()) {
        const QRect inner = channel.adjusted(2, 2, -2, -2);
        const int first = m_vertical ? inner.top() : inner.left();
        const int last = m_vertical ? inner.bottom() + 1 : inner.right() + 1;
        const bool reversed = (m_style & kReversed) != 0;
        for (std::size_t k = 0; k <= marks.size() && k < m_colors.size(); ++k) {
            int from = k == 0 ? (reversed ? last : first) : ValueToPixel(marks[k - 1]);
            int to = k == marks.size() ? (reversed ? first : last) : ValueToPixel(marks[k]);
            if (from > to)
                std::swap(from, to);
            from = std::clamp(from, first, last);
            to = std::clamp(to, first, last);
            const QRect segment = m_vertical ? QRect(inner.left(), from, inner.width(), to - from)
                                             : QRect(from, inner.top(), to - from, inner.height());
            painter.fillRect(segment, vmx::ToQColor(m_colors[k]));
        }
    }

    // The shaded stretches: a dark band over the channel and a little beyond it; a proposal's band
    // is hatched.
    if (!m_shaded.empty()) {
        QColor shade = pal.color(QPalette::Highlight);
        shade.setAlpha(150);
        QColor light = shade;
        light.setAlpha(60);
        const QBrush hatched(pal.color(QPalette::Highlight), Qt::BDiagPattern);
        const QRect band = channel.adjusted(0, -3, 0, 3);
        for (std::size_t i = 0; i < m_shaded.size(); ++i) {
            const auto [from, to] = m_shaded[i];
            int a = ValueToPixel(std::clamp(from, m_min, m_max));
            int b = ValueToPixel(std::clamp(to, m_min, m_max));
            if (a > b)
                std::swap(a, b);
            const QRect stretch = m_vertical ? QRect(band.left(), a, band.width(), std::max(b - a, 2))
                                             : QRect(a, band.top(), std::max(b - a, 2), band.height());
            if (m_proposed[i]) {
                painter.fillRect(stretch, light);
                painter.fillRect(stretch, hatched);
                painter.setPen(shade);
                painter.drawRect(stretch.adjusted(0, 0, -1, -1));
            } else {
                painter.fillRect(stretch, shade);
            }
        }
    }

    // Ticks on the tick side, spread evenly over the channel.
    const int ticks = m_tickFrequency > 0 ? 100 / m_tickFrequency + 1 : 2;
    const int start = m_vertical ? channel.top() : channel.left();
    const int extent = (m_vertical ? channel.height() : channel.width()) - 1;
    const int tickEdge = (m_vertical ? channel.left() : channel.top()) - 2;
    painter.setPen(pal.color(QPalette::ButtonText));
    for (int i = 0; i < ticks; ++i) {
        const int along = start + (ticks > 1 ? i * extent / (ticks - 1) : 0);
        if (m_vertical)
            painter.drawLine(tickEdge - kTickLength, along, tickEdge, along);
        else
            painter.drawLine(along, tickEdge - kTickLength, along, tickEdge);
    }

    if (m_style & kValueLabels) {
        painter.setFont(font());
        const bool reversed = (m_style & kReversed) != 0;
        const QString low = Format(m_min);
        const QString high = Format(m_max);
        const QString& atStart = reversed ? high : low;
        const QString& atEnd = reversed ? low : high;
        if (m_vertical) {
            const int x = channel.right() + 4;
            painter.drawText(QRect(x, channel.top() - 8, width() - x, 16), Qt::AlignLeft | Qt::AlignVCenter, atStart);
            painter.drawText(QRect(x, channel.bottom() - 8, width() - x, 16), Qt::AlignLeft | Qt::AlignVCenter, atEnd);
        } else {
            const int y = channel.bottom() + 4;
            const int h = height() - y;
            painter.drawText(QRect(0, y, width() / 2, h), Qt::AlignLeft | Qt::AlignTop, atStart);
            painter.drawText(QRect(width() / 2, y, width() / 2, h), Qt::AlignRight | Qt::AlignTop, atEnd);
        }
    }

    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const float value : m_markers) {
        const MarkerRects r = RectsOf(value);
        qDrawShadePanel(&painter, r.body, pal, false, 2, &pal.brush(QPalette::Button));
        const QRect pointer = r.pointerLow.united(r.pointerHigh);
        QPolygon tip;
        if (m_vertical)
            tip << pointer.topLeft() << pointer.bottomLeft() << QPoint(pointer.right() + 1, pointer.center().y());
        else
            tip << pointer.topLeft() << QPoint(pointer.right() + 1, pointer.top())
                << QPoint(pointer.center().x(), pointer.bottom() + 1);
        painter.setPen(pal.color(QPalette::Shadow));
        painter.setBrush(pal.color(QPalette::Dark));
        painter.drawPolygon(tip);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);

    if ((m_style & kFocusRect) && hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
    painter.end();
    QPainter(this).drawPixmap(0, 0, canvas);
}
