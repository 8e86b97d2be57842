#include "controls/CGomxctrl1.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>

namespace {

bool Generate(const QStringList& args)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + args);
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}

// True while this process holds a descriptor open on the file.
bool HoldsOpen(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target)
            return true;
    }
    return false;
}

} // namespace

class Gomxctrl1Test : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString ts;
    QString mp3;
    QString jpeg;
    CGomxctrl1* player = nullptr;

    bool WaitLoaded() { return QTest::qWaitFor([&] { return player->CurrentPosition().has_value(); }, 8000); }

private slots:
    void initTestCase()
    {
        std::setlocale(LC_NUMERIC, "C");
        ts = dir.filePath("RF0001AA.TRP");
        mp3 = dir.filePath("tone.mp3");
        jpeg = dir.filePath("picture.jpg");
        if (!Generate({"-f", "lavfi", "-i", "testsrc=size=720x576:rate=25", "-f", "lavfi", "-i",
                       "sine=frequency=440:sample_rate=48000", "-t", "3", "-c:v", "mpeg2video", "-b:v", "3M",
                       "-c:a", "mp2", "-f", "mpegts", ts})
            || !Generate({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", "2", "-c:a",
                          "libmp3lame", mp3})
            || !Generate({"-f", "lavfi", "-i", "testsrc=size=320x240", "-frames:v", "1", jpeg}))
            QSKIP("ffmpeg could not make the test media");
    }

    void init()
    {
        player = new CGomxctrl1(nullptr, 1000);
        QVERIFY(player->Start());
        QVERIFY(player->IsAvailable());
        QVERIFY(player->IsHeadless()); // the offscreen platform has no OpenGL
    }
    void cleanup() { delete player; }

    void nothingLoadedIsNotPlaying()
    {
        QCOMPARE(player->GetPlayState(), int(CGomxctrl1::kStopped));
        player->SetCurrentPosition(5.0); // ignored
        player->Stop();
        QCOMPARE(player->GetPlayState(), int(CGomxctrl1::kStopped));
    }

    void setFileStartsPlaying()
    {
        player->SetFileName(ts);
        QCOMPARE(player->GetPlayState(), int(CGomxctrl1::kPlaying));
        QVERIFY(WaitLoaded());
        const double start = *player->CurrentPosition();
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition().value_or(0) > start + 0.2, 5000);
        QCOMPARE(player->GetPlayState(), int(CGomxctrl1::kPlaying));
    }

    void seekMovesThePosition()
    {
        player->SetFileName(ts);
        QVERIFY(WaitLoaded());
        player->SetCurrentPosition(2.0);
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition().value_or(0) >= 1.9, 5000);
    }

    void seekBeforeTheFileIsOpenAppliesOnceOpen()
    {
        player->SetFileName(ts);
        player->SetCurrentPosition(2.0);
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition().value_or(0) >= 1.9, 5000);
    }

    void pauseHoldsAndResumeContinues()
    {
        player->SetFileName(ts);
        QVERIFY(WaitLoaded());
        // Past the first picture: mpv shows it (and moves the position to it) even when paused.
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition().value_or(0) > 0.1, 5000);
        player->Pause();
        QVERIFY(player->GetPlayState() != CGomxctrl1::kPlaying);
        QTest::qWait(200);
        const double held = player->CurrentPosition().value_or(-1);
        QTest::qWait(400);
        QCOMPARE(player->CurrentPosition().value_or(-2), held);
        player->Resume();
        QCOMPARE(player->GetPlayState(), int(CGomxctrl1::kPlaying));
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition().value_or(0) > held + 0.1, 5000);
    }

    void newFilePlaysEvenAfterPause()
    {
        player->SetFileName(ts);
        QVERIFY(WaitLoaded());
        player->Pause();
        player->SetFileName(ts);
        QCOMPARE(player->GetPlayState(), int(CGomxctrl1::kPlaying));
        QVERIFY(WaitLoaded());
        const double start = *player->CurrentPosition();
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition().value_or(0) > start + 0.2, 5000);
    }

    void stopLetsGoOfTheFile()
    {
        player->SetFileName(ts);
        QVERIFY(WaitLoaded());
        QVERIFY(HoldsOpen(ts));
        player->Stop();
        QVERIFY(player->GetPlayState() != CGomxctrl1::kPlaying);
        QTRY_VERIFY_WITH_TIMEOUT(!HoldsOpen(ts), 5000);
    }

    void endOfFileIsSignalledOnce()
    {
        QSignalSpy ends(player, &CGomxctrl1::EndOfFile);
        player->SetFileName(ts);
        QVERIFY(WaitLoaded());
        player->SetCurrentPosition(2.0);
        QVERIFY(ends.wait(8000));
        QCOMPARE(player->GetPlayState(), int(CGomxctrl1::kStopped));
        QTest::qWait(300);
        QCOMPARE(ends.count(), 1);
    }

    void replacingAFileIsNoEndOfFile()
    {
        QSignalSpy ends(player, &CGomxctrl1::EndOfFile);
        player->SetFileName(ts);
        QVERIFY(WaitLoaded());
        player->SetFileName(mp3);
        QVERIFY(WaitLoaded());
        QCOMPARE(ends.count(), 0);
        QCOMPARE(player->GetPlayState(), int(CGomxctrl1::kPlaying));
    }

    void filesStoppedBeforeTheyStartDoNotConfuseTheNext()
    {
        // mpv may drop files replaced or stopped before it got round to starting them: the
        // file handed over next must still open, take its seek and report its end.
        QSignalSpy ends(player, &CGomxctrl1::EndOfFile);
        player->SetFileName(ts);
        player->SetFileName(mp3);
        player->Stop();
        player->SetFileName(ts);
        player->SetCurrentPosition(2.0);
        QVERIFY(ends.wait(8000));
        QCOMPARE(ends.count(), 1);
        QCOMPARE(player->GetPlayState(), int(CGomxctrl1::kStopped));
    }

    void mp3Plays()
    {
        player->SetFileName(mp3);
        QVERIFY(WaitLoaded());
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition().value_or(0) > 0.2, 5000);
    }

    void pictureStaysShown()
    {
        QSignalSpy ends(player, &CGomxctrl1::EndOfFile);
        player->SetFileName(jpeg);
        QVERIFY(WaitLoaded());
        QTest::qWait(1500);
        QCOMPARE(ends.count(), 0);
        QCOMPARE(player->GetPlayState(), int(CGomxctrl1::kPlaying));
    }

    void missingFileEndsWithoutEndOfFile()
    {
        QSignalSpy ends(player, &CGomxctrl1::EndOfFile);
        player->SetFileName(dir.filePath("absent.trp"));
        QTRY_VERIFY_WITH_TIMEOUT(player->GetPlayState() != CGomxctrl1::kPlaying, 5000);
        QCOMPARE(ends.count(), 0);
    }
};

QTEST_MAIN(Gomxctrl1Test)
#include "tst_Gomxctrl1.moc"
