#pragma once

#include "controls/ColorRef.h"
#include "controls/ControlGeometry.h"

#include <QPixmap>
#include <QWidget>

// A position slider drawn from a channel bitmap and a thumb bitmap. It reports every change to
// its parent by posting a CSliderMessage (WM_SLIDER_TRACKING while dragged, WM_SLIDER_RELEASED
// when the drag ends or a key moved it).
class CSkinSlider : public QWidget {
    Q_OBJECT
public:
    // The colour that stands for "the colour of the sample pixel" in the bitmap setters.
    static constexpr vmx::ColorRef kSampleColor = 0xFF000000;

    explicit CSkinSlider(QWidget* parent = nullptr, int controlId = 0, bool vertical = false);

    int ControlId() const { return m_controlId; }

    void SetRange(int minimum, int maximum, bool redraw = false);
    int RangeMin() const { return m_min; }
    int RangeMax() const { return m_max; }
    // Clamps to the range (above the maximum first, then below the minimum); posts nothing.
    void SetPos(int position);
    int GetPos() const { return m_pos; }
    void SetPageSize(int pageSize) { m_pageSize = pageSize; }
    void SetMargins(int left, int top, int right, int bottom);
    // Disabling during a drag ends the drag. A disabled slider ignores mouse and keys.
    void Enable(bool enable);
    bool IsSliderEnabled() const { return m_enabled; }
    void SetShowFocus(bool show, bool redraw = false);
    bool IsDragging() const { return m_dragging; }

    // Loads the channel artwork by name ("" for none). With a mask, pixels of the mask colour
    // (kSampleColor: the colour at sample x, y) are transparent. The control takes the normal
    // bitmap's size. False, and no bitmaps held, when one cannot be loaded.
    bool SetChannelBitmaps(const QString& normal, const QString& active, bool useMask = false,
                           vmx::ColorRef maskColor = kSampleColor, int sampleX = 0, int sampleY = 0);
    bool SetThumbBitmaps(const QString& normal, const QString& pressed, bool useMask = false,
                         vmx::ColorRef maskColor = kSampleColor, int sampleX = 0, int sampleY = 0);
    void SetChannelPixmaps(const QPixmap& normal, const QPixmap& active);
    void SetThumbPixmaps(const QPixmap& normal, const QPixmap& pressed);

    // Thumb centre pixel of the current position along the slider's axis.
    int ThumbCenter() const;
    // Thumb centre pixel of any position.
    int PixelOfPosition(int position) const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    vmx::SliderAxis Axis() const;
    int AlongAxis(const QPointF& point) const;
    void DragTo(int pointer);
    void Post(int message);

    int m_controlId;
    bool m_vertical;
    int m_min = 0;
    int m_max = 100;
    int m_pos = 0;
    int m_pageSize = 20;
    int m_marginLeft = 0;
    int m_marginTop = 0;
    int m_marginRight = 0;
    int m_marginBottom = 0;
    bool m_enabled = true;
    bool m_showFocus = true;
    QPixmap m_channel;
    QPixmap m_channelActive;
    QPixmap m_thumb;
    QPixmap m_thumbPressed;
    bool m_dragging = false;
    int m_grabOffset = 0;
};
