#include "controls/CGomxctrl1.h"

#include <QOpenGLWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>

// The player with a real display: video comes through the render API into the widget.
class PlayerVideoTest : public QObject {
    Q_OBJECT

private slots:
    void drawsAFrameOfVideo()
    {
        std::setlocale(LC_NUMERIC, "C");
        QTemporaryDir dir;
        const QString ts = dir.filePath("RF0001AA.TRP");
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=720x576:rate=25", "-t", "3", "-c:v",
                      "mpeg2video", "-b:v", "3M", "-f", "mpegts", ts});
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
            QSKIP("ffmpeg could not make the test stream");

        CGomxctrl1 player(nullptr, 1000);
        QVERIFY(!player.IsHeadless());
        player.resize(400, 240);
        player.SetFileName(ts); // before the first show: held until the video surface exists
        player.show();
        QVERIFY(QTest::qWaitForWindowExposed(&player));
        QTRY_VERIFY_WITH_TIMEOUT(player.CurrentPosition().value_or(0) > 0.5, 8000);
        auto* video = player.findChild<QOpenGLWidget*>();
        QVERIFY(video != nullptr);
        const QImage frame = video->grabFramebuffer();
        int coloured = 0;
        for (int y = 0; y < frame.height(); y += 8)
            for (int x = 0; x < frame.width(); x += 8)
                if (qGray(frame.pixel(x, y)) > 40)
                    ++coloured;
        QVERIFY2(coloured > 100, qPrintable(QStringLiteral("only %1 lit samples").arg(coloured)));
    }
};

QTEST_MAIN(PlayerVideoTest)
#include "tst_PlayerVideo.moc"
