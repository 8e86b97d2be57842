#pragma once

#include "controls/ColorRef.h"

#include <QBrush>
#include <QWidget>

// A form whose background is one solid colour.
class CColorFormView : public QWidget {
    Q_OBJECT
public:
    explicit CColorFormView(QWidget* parent = nullptr);

    // Replaces the background brush; the form repaints at its next paint.
    void SetBackgroundColor(vmx::ColorRef color);
    vmx::ColorRef BackgroundColor() const { return m_crBackground; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    vmx::ColorRef m_crBackground;
    QBrush m_brush;
};
