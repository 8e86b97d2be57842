#include "controls/CSkinSlider.h"
#include "controls/CSliderMessage.h"
#include "controls/ControlGeometry.h"
#include "view/FormTemplate.h"

#include "MouseHelpers.h"

#include <QTest>

#include <climits>
#include <vector>

namespace {

struct Message {
    int type;
    int id;
    int pos;
    bool operator==(const Message&) const = default;
};

// The slider's parent: records every message the slider posts to it.
class Recorder : public QWidget {
public:
    std::vector<Message> messages;
    std::vector<Message> Take()
    {
        QCoreApplication::sendPostedEvents(this);
        std::vector<Message> out;
        out.swap(messages);
        return out;
    }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::Type(WM_SLIDER_TRACKING) || e->type() == QEvent::Type(WM_SLIDER_RELEASED)) {
            const auto* m = static_cast<CSliderMessage*>(e);
            messages.push_back({int(e->type()), m->ControlId(), m->Position()});
            return true;
        }
        return QWidget::event(e);
    }
};

QPixmap Solid(int w, int h, Qt::GlobalColor color)
{
    QPixmap p(w, h);
    p.fill(color);
    return p;
}

Message Tracking(int pos) { return {WM_SLIDER_TRACKING, ControlId::kPositionSlider, pos}; }
Message Released(int pos) { return {WM_SLIDER_RELEASED, ControlId::kPositionSlider, pos}; }

} // namespace

class SkinSliderTest : public QObject {
    Q_OBJECT

    Recorder* parent = nullptr;
    CSkinSlider* slider = nullptr;

private slots:
    void init()
    {
        parent = new Recorder;
        slider = new CSkinSlider(parent, ControlId::kPositionSlider);
        // The main view's shape: a 210-pixel channel, a 10-pixel thumb, margins 2, 3, 2, 0.
        slider->SetChannelPixmaps(Solid(210, 12, Qt::darkGray), Solid(210, 12, Qt::green));
        slider->SetThumbPixmaps(Solid(10, 9, Qt::white), Solid(10, 9, Qt::yellow));
        slider->SetMargins(2, 3, 2, 0);
        slider->SetRange(0, 196); // one position per pixel of travel
        parent->show();
    }
    void cleanup() { delete parent; }

    void positionToPixel_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("pixel");
        QTest::newRow("minimum at first place") << 210 << 0 << 100 << 0 << 7;
        QTest::newRow("middle") << 210 << 0 << 100 << 50 << 105;
        QTest::newRow("maximum at last place") << 210 << 0 << 100 << 100 << 203;
        QTest::newRow("fraction truncated") << 210 << 0 << 3 << 1 << 2 + 65 + 5;
        QTest::newRow("negative minimum") << 210 << -50 << 50 << 0 << 105;
        QTest::newRow("empty range does not divide by zero") << 210 << 5 << 5 << 5 << 7;
        QTest::newRow("huge range does not overflow") << 210 << 0 << 2000000000 << 2000000000 << 203;
    }
    void positionToPixel()
    {
        QFETCH(int, length);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, position);
        QFETCH(int, pixel);
        QCOMPARE(vmx::SliderPositionToPixel(vmx::SliderAxis{length, 10, 2, 2}, position, minimum, maximum), pixel);
    }

    void pixelToPosition_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("pixel");
        QTest::addColumn<int>("position");
        QTest::newRow("first place") << 210 << 7 << 0;
        QTest::newRow("middle") << 210 << 105 << 50;
        QTest::newRow("last place") << 210 << 203 << 100;
        QTest::newRow("truncated toward zero") << 210 << 8 << 0;
        QTest::newRow("left of travel gives below minimum") << 210 << 0 << -3;
        QTest::newRow("no travel gives minimum") << 14 << 50 << 0;
    }
    void pixelToPosition()
    {
        QFETCH(int, length);
        QFETCH(int, pixel);
        QFETCH(int, position);
        QCOMPARE(vmx::SliderPixelToPosition(vmx::SliderAxis{length, 10, 2, 2}, pixel, 0, 100), position);
    }

    void takesTheChannelBitmapSize() { QCOMPARE(slider->size(), QSize(210, 12)); }

    void clickFarFromThumbJumpsAndTracksOnce()
    {
        Press(slider, QPoint(105, 5));
        QCOMPARE(slider->GetPos(), 98);
        QCOMPARE(slider->ThumbCenter(), 105);
        QCOMPARE(parent->Take(), std::vector<Message>{Tracking(98)});
        Release(slider, QPoint(105, 5));
        QCOMPARE(parent->Take(), std::vector<Message>{Released(98)});
    }

    void clickOnThumbKeepsGrabOffset()
    {
        slider->SetPos(98); // centre 105
        Press(slider, QPoint(108, 5));
        QVERIFY(slider->IsDragging());
        QCOMPARE(parent->Take(), std::vector<Message>{});
        DragTo(slider, QPoint(109, 5)); // centre follows the pointer 3 pixels to its left
        QCOMPARE(slider->GetPos(), 99);
        DragTo(slider, QPoint(400, 5)); // held at the right end of the travel
        QCOMPARE(slider->GetPos(), 196);
        QCOMPARE(parent->Take(), (std::vector<Message>{Tracking(99), Tracking(196)}));
    }

    void setPosClampsAndPostsNothing()
    {
        slider->SetPos(1000);
        QCOMPARE(slider->GetPos(), 196);
        QCOMPARE(slider->ThumbCenter(), 210 - 2 - 5);
        slider->SetPos(-4);
        QCOMPARE(slider->GetPos(), 0);
        slider->SetRange(10, 20);
        QCOMPARE(slider->GetPos(), 10);
        QCOMPARE(parent->Take(), std::vector<Message>{});
    }

    void disabledSliderIgnoresMouseAndKeys()
    {
        slider->SetPos(50);
        slider->Enable(false);
        Press(slider, QPoint(150, 5));
        Release(slider, QPoint(150, 5));
        QTest::keyClick(slider, Qt::Key_End);
        QCOMPARE(slider->GetPos(), 50);
        QCOMPARE(parent->Take(), std::vector<Message>{});
    }

    void disablingEndsADrag()
    {
        Press(slider, QPoint(50, 5));
        parent->Take();
        slider->Enable(false);
        QVERIFY(!slider->IsDragging());
        DragTo(slider, QPoint(150, 5));
        QCOMPARE(parent->Take(), std::vector<Message>{});
    }

    void keys_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("End goes to maximum") << 10 << int(Qt::Key_End) << 196;
        QTest::newRow("Home goes to minimum") << 10 << int(Qt::Key_Home) << 0;
        QTest::newRow("Left at minimum stays") << 0 << int(Qt::Key_Left) << 0;
        QTest::newRow("Up steps back") << 5 << int(Qt::Key_Up) << 4;
        QTest::newRow("Right steps on") << 5 << int(Qt::Key_Right) << 6;
        QTest::newRow("Down at maximum stays") << 196 << int(Qt::Key_Down) << 196;
        QTest::newRow("Page Down adds a page") << 10 << int(Qt::Key_PageDown) << 30;
        QTest::newRow("Page Up clamps at minimum") << 10 << int(Qt::Key_PageUp) << 0;
    }
    void keys()
    {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, expected);
        slider->SetPos(start);
        QTest::keyClick(slider, Qt::Key(key));
        QCOMPARE(slider->GetPos(), expected);
        QCOMPARE(parent->Take(), std::vector<Message>{Released(expected)});
    }

    void otherKeysPostNothing()
    {
        QTest::keyClick(slider, Qt::Key_A);
        QCOMPARE(parent->Take(), std::vector<Message>{});
    }

    void maskMakesTheSampleColourTransparent()
    {
        QTemporaryDir dir;
        QImage thumb(6, 6, QImage::Format_RGB32);
        thumb.fill(Qt::magenta);
        thumb.setPixel(3, 3, qRgb(255, 255, 255));
        QVERIFY(thumb.save(dir.filePath("thumb.png")));
        QVERIFY(slider->SetThumbBitmaps(dir.filePath("thumb"), {}, true));
        // Position 0: thumb centre at 2 + 3, thumb from x 2, y 3 (top margin).
        const QImage shot = slider->grab().toImage();
        QCOMPARE(QColor(shot.pixel(2, 3)), QColor(Qt::green)); // the played part of the channel
        QCOMPARE(QColor(shot.pixel(150, 3)), QColor(Qt::darkGray));
        QCOMPARE(QColor(shot.pixel(5, 6)), QColor(Qt::white));
    }

    void missingBitmapFailsAndHoldsNone()
    {
        QVERIFY(!slider->SetChannelBitmaps("/nonexistent/channel", {}));
        QCOMPARE(slider->grab().toImage().pixel(100, 5), slider->palette().color(QPalette::Mid).rgb());
    }
};

QTEST_MAIN(SkinSliderTest)
#include "tst_SkinSlider.moc"
