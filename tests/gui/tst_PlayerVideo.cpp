#include "controls/CGomxctrl1.h"

#include <QOpenGLWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>

namespace {

QStringList g_warnings;
QtMessageHandler g_defaultHandler = nullptr;

void KeepWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg)
        g_warnings << message;
    g_defaultHandler(type, context, message);
}

// Samples of a picture that are not black.
int LitSamples(const QImage& frame)
{
    int lit = 0;
    for (int y = 0; y < frame.height(); y += 8)
        for (int x = 0; x < frame.width(); x += 8)
            if (qGray(frame.pixel(x, y)) > 40)
                ++lit;
    return lit;
}

} // namespace

// The player with a real display: video comes through the render API into the widget, with
// OpenGL where it works and in software where it does not (the second registration of this test
// runs with Qt's OpenGL switched off).
class PlayerVideoTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString ts;

    // Plays the stream in a shown player until half a second has gone by.
    bool PlayShown(CGomxctrl1& player)
    {
        player.resize(400, 240);
        player.SetFileName(ts); // before the first show: held until the video surface exists
        player.show();
        return QTest::qWaitForWindowExposed(&player) &&
               QTest::qWaitFor([&] { return player.CurrentPosition().value_or(0) > 0.5; }, 8000);
    }

private slots:
    void initTestCase()
    {
        std::setlocale(LC_NUMERIC, "C");
        g_defaultHandler = qInstallMessageHandler(&KeepWarnings);
        ts = dir.filePath("RF0001AA.TRP");
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=720x576:rate=25", "-t", "3", "-c:v",
                      "mpeg2video", "-b:v", "3M", "-f", "mpegts", ts});
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
            QSKIP("ffmpeg could not make the test stream");
    }

    void drawsAFrameOfVideo()
    {
        // Xvfb has no direct rendering: its OpenGL (on the processor) is used all the same here.
        CGomxctrl1::AllowOpenGLWithoutDirectRendering(true);
        CGomxctrl1 player(nullptr, 1000);
        QVERIFY(player.Start());
        if (player.Output() == CGomxctrl1::VideoOutput::Software)
            QSKIP("OpenGL does not work here");
        QCOMPARE(player.Output(), CGomxctrl1::VideoOutput::OpenGL);
        QVERIFY(PlayShown(player));
        auto* video = player.findChild<QOpenGLWidget*>();
        QVERIFY(video != nullptr);
        const QImage frame = video->grabFramebuffer();
        QVERIFY2(LitSamples(frame) > 100, qPrintable(QStringLiteral("only %1 lit samples").arg(LitSamples(frame))));
        QVERIFY(!g_warnings.join('\n').contains(QStringLiteral("OpenGL")));
    }

    void drawsVideoInSoftwareWithoutOpenGL()
    {
        // Without Qt's OpenGL, or (by default) without direct rendering.
        CGomxctrl1::AllowOpenGLWithoutDirectRendering(false);
        CGomxctrl1 player(nullptr, 1000);
        QVERIFY(player.Start());
        if (player.Output() == CGomxctrl1::VideoOutput::OpenGL)
            QSKIP("OpenGL works here");
        QCOMPARE(player.Output(), CGomxctrl1::VideoOutput::Software);
        QVERIFY(PlayShown(player));
        QVERIFY(player.findChild<QOpenGLWidget*>() == nullptr);
        const QImage frame = player.grab().toImage();
        QVERIFY2(LitSamples(frame) > 100, qPrintable(QStringLiteral("only %1 lit samples").arg(LitSamples(frame))));
        // Said once in the process, however many players there are.
        CGomxctrl1 second(nullptr, 1000);
        QVERIFY(second.Start());
        QCOMPARE(g_warnings.filter(QStringLiteral("OpenGL does not work")).size(), 1);
    }
};

QTEST_MAIN(PlayerVideoTest)
#include "tst_PlayerVideo.moc"
