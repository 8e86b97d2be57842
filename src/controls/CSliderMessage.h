#pragma once

#include <QEvent>

// Posted to the slider's parent: the thumb moved while dragged.
inline constexpr int WM_SLIDER_TRACKING = 0x28D1;
// Posted to the slider's parent: the drag ended, or a key changed the position.
inline constexpr int WM_SLIDER_RELEASED = 0x28D2;

// The message a skin slider posts to its parent: its control id and its new position.
class CSliderMessage : public QEvent {
public:
    CSliderMessage(int message, int controlId, int position)
        : QEvent(QEvent::Type(message))
        , m_controlId(controlId)
        , m_position(position)
    {
    }
    int ControlId() const { return m_controlId; }
    int Position() const { return m_position; }

private:
    int m_controlId;
    int m_position;
};
