#pragma once

#include <QWidget>

// A borderless pop-up that shows one text (split at line breaks) at a screen point, kept inside
// the screen and shown without taking the activation.
class CMarkTip : public QWidget {
    Q_OBJECT
public:
    CMarkTip();

    // Showing the same text at the same point again does nothing.
    void ShowTip(const QString& text, const QPoint& globalPoint);
    void HideTip();
    QString Text() const { return m_text; }

    // Moves a tip of the given size at the point back inside a screen of the given size: not past
    // its width, and not within 20 pixels of its height.
    static QPoint KeepOnScreen(const QPoint& point, const QSize& tip, const QRect& screen);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QPoint m_point;
};
