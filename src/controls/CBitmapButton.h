#pragma once

#include <QAbstractButton>
#include <QPixmap>

// A command button drawn from artwork named after its caption: "<caption>U" normal,
// "<caption>D" pressed and, where it exists, "<caption>X" disabled.
class CBitmapButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CBitmapButton(QWidget* parent = nullptr, int controlId = 0);

    int ControlId() const { return m_controlId; }

    // False when the normal or the pressed look is missing.
    bool LoadBitmaps(const QString& caption);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_controlId;
    QPixmap m_up;
    QPixmap m_down;
    QPixmap m_disabled;
};
