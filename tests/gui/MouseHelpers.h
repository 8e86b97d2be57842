#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

// Sends one mouse event straight to a widget, with the buttons held and the modifiers given.
inline void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButtons held,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const Qt::MouseButton button =
        type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, held, modifiers);
    QApplication::sendEvent(widget, &event);
}

inline void Press(QWidget* w, QPoint p, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    SendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, m);
}
inline void DragTo(QWidget* w, QPoint p, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    SendMouse(w, QEvent::MouseMove, p, Qt::LeftButton, m);
}
inline void Hover(QWidget* w, QPoint p)
{
    SendMouse(w, QEvent::MouseMove, p, Qt::NoButton);
}
inline void Release(QWidget* w, QPoint p)
{
    SendMouse(w, QEvent::MouseButtonRelease, p, Qt::NoButton);
}
