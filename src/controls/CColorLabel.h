#pragma once

#include "controls/ColorRef.h"

#include <QWidget>

// A static text painted on a two-colour gradient (left to right, or top to bottom when
// vertical), on one line, clipped to the control.
class CColorLabel : public QWidget {
    Q_OBJECT
public:
    explicit CColorLabel(QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const { return m_text; }

    // Owner-set look: gradient ends, text colour, alignment (0 left, 1 centre, other right).
    vmx::ColorRef gradientFrom;
    vmx::ColorRef gradientTo;
    vmx::ColorRef textColor;
    int alignment = 0;
    int margin = 10;
    bool vertical = false;

    // Where the text goes in the client rectangle, with the horizontal alignment to draw it.
    static QRect TextRect(const QRect& client, int align, int textMargin, Qt::Alignment* flags);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};
