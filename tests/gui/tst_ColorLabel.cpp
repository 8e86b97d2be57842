#include "controls/CColorFormView.h"
#include "controls/CColorLabel.h"

#include <QTest>

namespace {

// Columns and rows where the painted image differs from the background colour.
QRect InkBounds(const QImage& image, QRgb background)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

QImage Paint(CColorLabel& label)
{
    return label.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class ColorLabelTest : public QObject {
    Q_OBJECT

private slots:
    void equalColoursPaintAPlainArea()
    {
        for (const bool vertical : {false, true}) {
            CColorLabel label;
            label.resize(120, 24);
            label.gradientFrom = label.gradientTo = 0x00336699; // red 0x99, green 0x66, blue 0x33
            label.vertical = vertical;
            const QImage image = Paint(label);
            QCOMPARE(InkBounds(image, qRgb(0x99, 0x66, 0x33)), QRect());
        }
    }

    void gradientRunsFromLeftToRightOrTopToBottom()
    {
        CColorLabel label;
        label.resize(200, 100);
        label.gradientFrom = 0x0000FF; // red
        label.gradientTo = 0xFF0000;   // blue
        QImage image = Paint(label);
        QVERIFY(qRed(image.pixel(1, 50)) > 240 && qBlue(image.pixel(198, 50)) > 240);
        QCOMPARE(image.pixel(100, 0), image.pixel(100, 99));
        label.vertical = true;
        image = Paint(label);
        QVERIFY(qRed(image.pixel(100, 1)) > 240 && qBlue(image.pixel(100, 98)) > 240);
    }

    void alignment_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("0 is left, 10 pixels in") << 0 << 10 << 60;
        QTest::newRow("1 is centred") << 1 << 80 << 120;
        QTest::newRow("5 is right, 10 pixels in") << 5 << 140 << 189;
    }
    void alignment()
    {
        QFETCH(int, alignment);
        QFETCH(int, left);
        QFETCH(int, right);
        CColorLabel label;
        label.resize(200, 24);
        label.gradientFrom = label.gradientTo = 0;
        label.textColor = 0xFFFFFF;
        label.alignment = alignment;
        label.SetText(QStringLiteral("MMM"));
        const QRect ink = InkBounds(Paint(label), qRgb(0, 0, 0));
        QVERIFY2(ink.left() >= left && ink.right() <= right,
                 qPrintable(QStringLiteral("text drawn over %1..%2").arg(ink.left()).arg(ink.right())));
        if (alignment == 0)
            QVERIFY(ink.left() <= left + 3);
        if (alignment == 5)
            QVERIFY(ink.right() >= right - 3);
    }

    void longTextIsClippedOnOneLine()
    {
        CColorLabel label;
        label.resize(60, 40);
        label.gradientFrom = label.gradientTo = 0;
        label.textColor = 0xFFFFFF;
        label.SetText(QStringLiteral("A line far too long for the label\nand a second line"));
        const QRect ink = InkBounds(Paint(label), qRgb(0, 0, 0));
        QVERIFY(!ink.isEmpty());
        QVERIFY(ink.height() <= label.fontMetrics().height());
        QVERIFY(ink.right() >= 54); // runs on to the edge and is cut there
    }

    void formViewPaintsTheLatestColour()
    {
        CColorFormView view;
        view.resize(50, 30);
        view.SetBackgroundColor(0x0000FF);
        view.SetBackgroundColor(0x0000E1FF & 0xFFFFFF);
        QCOMPARE(view.BackgroundColor(), vmx::ColorRef(0x0000E1FF));
        const QImage image = view.grab().toImage();
        QCOMPARE(QColor(image.pixel(25, 15)), QColor(0xFF, 0xE1, 0x00));
    }
};

QTEST_MAIN(ColorLabelTest)
#include "tst_ColorLabel.moc"
