#pragma once

#include "controls/CMarkTip.h"
#include "controls/ColorRef.h"
#include "controls/ControlGeometry.h"

#include <QBasicTimer>
#include <QFont>
#include <QWidget>

#include <optional>
#include <utility>
#include <vector>

// A bar over a range of values on which the user places a limited number of markers with the
// mouse, drags them (alone, or two together with Ctrl) and reads their values back in order.
class CMarkBar : public QWidget {
    Q_OBJECT
public:
    enum Style : unsigned {
        kSegmentColors = 1,   // fill the channel with the segment colours
        kValueLabels = 2,     // minimum and maximum beside the first and last tick
        kNoDecimals = 4,      // values without decimals (one decimal otherwise)
        kValueTip = 8,        // value tip while dragging or hovering; Ctrl moves both markers
        kDragOutRemoves = 16, // a marker dropped outside the bar is removed
        kNeighbourClamp = 32, // a dragged marker cannot pass its neighbours
        kReversed = 256,      // the value axis runs the other way
        kFocusRect = 512,     // focus rectangle while focused
    };
    static constexpr int kNotifyChanged = 4;
    static constexpr int kHalfWidth = 6;

    explicit CMarkBar(QWidget* parent = nullptr, int controlId = 0, bool vertical = false);

    int ControlId() const { return m_controlId; }

    // Sets range, tick frequency, marker limit and the limit + 1 segment colours; places one
    // marker per initial value (none when null) and clears every other. style < 0 keeps the
    // current style bits.
    void Initialise(float minimum, float maximum, int tickFrequency, int markerLimit,
                    const std::vector<float>* initialValues, const std::vector<vmx::ColorRef>& colors,
                    int style);

    // The marker values in ascending order.
    std::vector<float> GetMarks() const;
    // Writes the marker values in ascending order into out (at most capacity) and returns how
    // many markers there are.
    int GetMarks(float* out, int capacity) const;

    // Puts the marker at `index` of the ascending order (a new one when index is the number of
    // markers and the limit allows another) at `value`, kept inside the range. Returns the
    // marker's index in the new order, or -1 when there is no such marker. Sends no signal: the
    // code that moves a marker knows it did.
    int SetMark(int index, float value);
    // The index (ascending order) of the marker the user or SetMark placed or moved last; -1 when
    // none since Initialise.
    int LastTouched() const { return m_lastTouched; }
    // Stretches of the range shown shaded over the channel (the cut list's), whatever the markers;
    // those `proposed` marks true are hatched instead (proposals the user has yet to check).
    void SetShadedStretches(const std::vector<std::pair<float, float>>& stretches, const std::vector<bool>& proposed = {});
    const std::vector<std::pair<float, float>>& ShadedStretches() const { return m_shaded; }

    float RangeMin() const { return m_min; }
    float RangeMax() const { return m_max; }
    unsigned StyleBits() const { return m_style; }

    // Geometry of the current size, for painting, hit-testing and tests.
    QRect ChannelRect() const;
    vmx::MarkAxis Axis() const;
    int ValueToPixel(float value) const { return vmx::MarkValueToPixel(Axis(), value); }
    float PixelToValue(int pixel) const { return vmx::MarkPixelToValue(Axis(), pixel); }
    // The point in the middle of a marker's body (for clicks on it).
    QPoint MarkerPoint(float value) const;
    const CMarkTip& Tip() const { return m_tip; }

signals:
    // Sent when a drag ended with a new value: the bar's control id and kNotifyChanged.
    void markNotify(int controlId, int code);
    // The user placed a marker with a click: its value and index in the ascending order.
    void markAdded(float value, int index);
    // The user dragged a marker: sent while it moves and once more when it is dropped.
    void markMoved(float value, int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct MarkerRects {
        QRect body;
        QRect pointerLow;
        QRect pointerHigh;
        bool Contains(const QPoint& p) const
        {
            return body.contains(p) || pointerLow.contains(p) || pointerHigh.contains(p);
        }
    };

    MarkerRects RectsOf(float value) const;
    int HitTest(const QPoint& point) const;
    int Along(const QPoint& point) const { return m_vertical ? point.y() : point.x(); }
    bool InChannel(int along, int inset) const;
    bool InRange(float value) const { return value >= m_min && value <= m_max; }
    QString Format(float value) const;
    void ShowValueTip(float value, const QPoint& localPoint);
    int InsertMarker(float value);
    // The index in the ascending order of the marker at `index` of m_markers.
    int RankOf(std::size_t index) const;
    void PruneOutOfRange();

    int m_controlId;
    bool m_vertical;
    float m_min = 0;
    float m_max = 100;
    float m_span = 100;
    int m_tickFrequency = 10;
    int m_markerLimit = 2;
    unsigned m_style = 0;
    std::vector<float> m_markers;
    std::vector<vmx::ColorRef> m_colors;

    int m_dragged = -1;
    std::optional<float> m_pending;
    float m_dragStartValue = 0;
    int m_clampState = 0;
    bool m_moveBoth = false;
    int m_hovered = -1;
    int m_lastTouched = -1;
    std::vector<std::pair<float, float>> m_shaded;
    std::vector<bool> m_proposed;
    QBasicTimer m_hoverTimer;
    CMarkTip m_tip;
    QFont m_tipFont;
};
