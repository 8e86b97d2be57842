#include "controls/CMarkBar.h"
#include "controls/ControlGeometry.h"
#include "view/FormTemplate.h"

#include "MouseHelpers.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// The main view's settings: two markers, three segment colours, style 171.
const std::vector<vmx::ColorRef> kColors{0x2800FF, 0x0C0D1B, 0x2800FF};
constexpr int kViewStyle = 171;

} // namespace

class MarkBarTest : public QObject {
    Q_OBJECT

    CMarkBar* bar = nullptr;

    void Start(int style, std::vector<float> marks = {})
    {
        bar->Initialise(0.0f, 100.0f, 10, 2, marks.empty() ? nullptr : &marks, kColors, style);
    }
    QPoint At(float value) const { return QPoint(bar->ValueToPixel(value), bar->height() / 2); }
    QPoint On(float value) const { return bar->MarkerPoint(value); }
    void Click(QPoint p)
    {
        Press(bar, p);
        Release(bar, p);
    }
    std::vector<float> Marks() const { return bar->GetMarks(); }

private slots:
    void init()
    {
        bar = new CMarkBar(nullptr, ControlId::kMarkBar);
        bar->resize(500, 60); // channel from x 12, 476 pixels long
        Start(kViewStyle);
        bar->show();
    }
    void cleanup() { delete bar; }

    void rounding_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("rounded");
        QTest::newRow("half rounds up") << 2.25 << 1 << 2.3;
        QTest::newRow("below half rounds down") << 1.04 << 1 << 1.0;
        QTest::newRow("negative half rounds toward plus") << -0.05 << 1 << 0.0;
        QTest::newRow("whole pixels") << 249.5 << 0 << 250.0;
    }
    void rounding()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(double, rounded);
        QCOMPARE(vmx::RoundTo(value, decimals), rounded);
    }

    void valuePixelMaths_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("length");
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("pixel");
        QTest::newRow("minimum at start") << 12.0 << 476.0 << 0.0f << 12;
        QTest::newRow("middle") << 12.0 << 476.0 << 50.0f << 250;
        QTest::newRow("maximum at end") << 12.0 << 476.0 << 100.0f << 488;
        QTest::newRow("reversed minimum at end") << 488.0 << -476.0 << 0.0f << 488;
        QTest::newRow("reversed maximum at start") << 488.0 << -476.0 << 100.0f << 12;
    }
    void valuePixelMaths()
    {
        QFETCH(double, start);
        QFETCH(double, length);
        QFETCH(float, value);
        QFETCH(int, pixel);
        const vmx::MarkAxis axis{start, length, 0.0f, 100.0f};
        QCOMPARE(vmx::MarkValueToPixel(axis, value), pixel);
        QCOMPARE(vmx::MarkPixelToValue(axis, pixel), value);
    }

    void pixelToValueRoundsToOneDecimal()
    {
        const vmx::MarkAxis axis{12.0, 476.0, 0.0f, 100.0f};
        QCOMPARE(vmx::MarkPixelToValue(axis, 100), 18.5f); // 18.487...
        QCOMPARE(vmx::MarkPixelToValue(axis, 0), -2.5f);
    }

    void emptyRangeAndChannelDoNotDivideByZero()
    {
        QCOMPARE(vmx::MarkValueToPixel(vmx::MarkAxis{12.0, 476.0, 5.0f, 0.0f}, 5.0f), 12);
        QCOMPARE(vmx::MarkPixelToValue(vmx::MarkAxis{12.0, 0.0, 5.0f, 10.0f}, 40), 5.0f);
    }

    void clickAddsMarkersUpToTheLimit()
    {
        QSignalSpy notes(bar, &CMarkBar::markNotify);
        Click(QPoint(100, 30));
        QCOMPARE(Marks(), std::vector<float>{18.5f});
        Click(At(80.0f));
        Click(At(50.0f)); // third click: the limit is two
        QCOMPARE(Marks(), (std::vector<float>{18.5f, 80.0f}));
        QCOMPARE(notes.count(), 0); // adding is no drag
    }

    void marksComeBackAscending()
    {
        Click(At(70.0f));
        Click(At(30.0f));
        float out[2] = {};
        QCOMPARE(bar->GetMarks(out, 2), 2);
        QCOMPARE(out[0], 30.0f);
        QCOMPARE(out[1], 70.0f);
    }

    void pendingMarkerDroppedWhenReleasedOffTheChannel()
    {
        Press(bar, At(40.0f));
        Release(bar, QPoint(495, 30)); // beyond the channel's end
        QVERIFY(Marks().empty());
    }

    void secondMarkerStopsAtTheFirst()
    {
        Start(kViewStyle, {20.0f, 60.0f});
        QSignalSpy notes(bar, &CMarkBar::markNotify);
        Press(bar, On(60.0f));
        DragTo(bar, At(10.0f));
        QCOMPARE(Marks(), (std::vector<float>{20.0f, 20.0f}));
        Release(bar, At(10.0f));
        QCOMPARE(Marks(), (std::vector<float>{20.0f, 20.0f}));
        QCOMPARE(notes.count(), 1);
        QCOMPARE(notes.at(0).at(0).toInt(), ControlId::kMarkBar);
        QCOMPARE(notes.at(0).at(1).toInt(), CMarkBar::kNotifyChanged);
    }

    void ctrlMovesBothAndStopsAtTheRangeEnd()
    {
        Start(kViewStyle, {20.0f, 60.0f});
        Press(bar, On(20.0f), Qt::ControlModifier);
        DragTo(bar, At(30.0f));
        QCOMPARE(Marks(), (std::vector<float>{30.0f, 70.0f}));
        DragTo(bar, At(0.0f));
        QCOMPARE(Marks(), (std::vector<float>{0.0f, 40.0f}));
        DragTo(bar, QPoint(2, 30)); // would put the first marker below the minimum
        QCOMPARE(Marks(), (std::vector<float>{0.0f, 40.0f}));
        Release(bar, QPoint(2, 30));
        QCOMPARE(Marks(), (std::vector<float>{0.0f, 40.0f}));
    }

    void ctrlWithOneMarkerMovesOnlyIt()
    {
        Start(kViewStyle, {20.0f});
        Press(bar, On(20.0f), Qt::ControlModifier);
        DragTo(bar, At(45.0f));
        Release(bar, At(45.0f));
        QCOMPARE(Marks(), std::vector<float>{45.0f});
    }

    void secondMarkerDroppedOnTheMinimumKeepsItsStart()
    {
        Start(kViewStyle & ~CMarkBar::kNeighbourClamp, {20.0f, 60.0f});
        Press(bar, On(60.0f));
        DragTo(bar, QPoint(1, 30));
        Release(bar, QPoint(1, 30));
        QCOMPARE(Marks(), (std::vector<float>{20.0f, 60.0f}));
        // The first marker may land on the minimum.
        Press(bar, On(20.0f));
        Release(bar, QPoint(1, 30));
        QCOMPARE(Marks(), (std::vector<float>{0.0f, 60.0f}));
    }

    void withoutClampAMarkerPassesItsNeighbour()
    {
        Start(kViewStyle & ~CMarkBar::kNeighbourClamp, {30.0f, 60.0f});
        Press(bar, On(60.0f));
        DragTo(bar, At(25.0f));
        Release(bar, At(25.0f));
        QCOMPARE(Marks(), (std::vector<float>{25.0f, 30.0f}));
    }

    void dragOutRemovesOnlyWithStyle16()
    {
        Start(kViewStyle | CMarkBar::kDragOutRemoves, {20.0f, 60.0f});
        Press(bar, On(60.0f));
        DragTo(bar, QPoint(250, -40));
        Release(bar, QPoint(250, -40));
        QCOMPARE(Marks(), std::vector<float>{20.0f});

        Start(kViewStyle, {20.0f, 60.0f});
        Press(bar, On(60.0f));
        DragTo(bar, QPoint(250, -40));
        Release(bar, QPoint(250, -40));
        QCOMPARE(Marks(), (std::vector<float>{20.0f, 50.0f}));
    }

    void reversedAxisPutsTheMaximumOnTheLeft()
    {
        Start(kViewStyle | CMarkBar::kReversed);
        Click(QPoint(100, 30));
        QCOMPARE(Marks(), std::vector<float>{81.5f});
    }

    void initialiseClearsTheMarks()
    {
        Click(At(30.0f));
        Click(At(70.0f));
        bar->Initialise(0.0f, 3600.0f, 10, 2, nullptr, kColors, -1);
        QVERIFY(Marks().empty());
        QCOMPARE(bar->StyleBits(), unsigned(kViewStyle));
        QCOMPARE(bar->RangeMax(), 3600.0f);
        Click(At(1800.0f));
        QCOMPARE(Marks(), std::vector<float>{1800.0f});
    }

    void initialValuesOutsideTheRangeAreDropped()
    {
        Start(kViewStyle, {-5.0f, 40.0f, 140.0f});
        QCOMPARE(Marks(), std::vector<float>{40.0f});
    }

    void hoverShowsTheValueAfterASecond()
    {
        Start(kViewStyle, {20.0f});
        Hover(bar, On(20.0f));
        QVERIFY(!bar->Tip().isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(bar->Tip().isVisible(), 3000);
        QCOMPARE(bar->Tip().Text(), QStringLiteral("20.0"));
        Hover(bar, QPoint(250, 55)); // off the marker
        QVERIFY(!bar->Tip().isVisible());
    }

    void leavingTheBarCancelsTheHoverTip()
    {
        Start(kViewStyle, {20.0f});
        Hover(bar, On(20.0f));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(bar, &leave);
        QTest::qWait(1300);
        QVERIFY(!bar->Tip().isVisible());
    }

    void noDecimalsStyleFormatsWholeValues()
    {
        Start(kViewStyle | CMarkBar::kNoDecimals, {20.0f, 60.0f});
        Press(bar, On(60.0f));
        DragTo(bar, At(45.0f));
        QCOMPARE(bar->Tip().Text(), QStringLiteral("45"));
        Release(bar, At(45.0f));
    }

    void tipStaysOnScreen()
    {
        const QRect screen(0, 0, 1280, 900);
        QCOMPARE(CMarkTip::KeepOnScreen(QPoint(100, 100), QSize(40, 20), screen), QPoint(100, 100));
        QCOMPARE(CMarkTip::KeepOnScreen(QPoint(1270, 100), QSize(40, 20), screen), QPoint(1240, 100));
        QCOMPARE(CMarkTip::KeepOnScreen(QPoint(100, 870), QSize(40, 20), screen), QPoint(100, 860));
    }
};

QTEST_MAIN(MarkBarTest)
#include "tst_MarkBar.moc"
