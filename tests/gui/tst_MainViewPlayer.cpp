// The main view's player driven on a demo disk with clicks (headless): a two-part recording
// played as one stream across its part boundary, seeking into the second part with one seek,
// the PL/PA/S rules, the refusals while something plays, and MP3 and JPEG files.
#include "MainViewHarness.h"

#include "recording/PlaybackParts.h"
#include "viewmodel/PaneTexts.h"

namespace {

constexpr int kPlayMs = 20000;

// The demo's two-part recording is row 1: a full part and a second, shorter one.
constexpr int kTwoPartRow = 1;

} // namespace

class MainViewPlayerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainViewHarness> ui;

    CGomxctrl1* player() const { return ui->view->Player(); }
    const vmx::PlaybackState& playback() const { return ui->view->State().playback; }
    QString PartPath(int row, int part) const
    {
        return QString::fromStdString(vmx::PartPathOf(*ui->view->State().pane(0).detailsAt(row), part));
    }
    int SecondsPerPart(int row) const
    {
        return int(ui->view->State().pane(0).detailsAt(row)->timing.secondsPerPart);
    }
    // PL on a row of the left pane; returns once the player has opened the file.
    bool PlayRow(int row)
    {
        ui->ClickRow(0, row);
        ui->Click(ControlId::kPlay);
        return QTest::qWaitFor([this] { return player()->CurrentPosition().has_value(); }, kPlayMs);
    }

private slots:
    void init()
    {
        ui = std::make_unique<MainViewHarness>();
        QVERIFY(ui->disk.ok());
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
    }
    void cleanup() { ui.reset(); }

    void playsAcrossThePartBoundaryOnOneTimeline()
    {
        QVERIFY(PlayRow(kTwoPartRow));
        const QString firstPart = PartPath(kTwoPartRow, 0);
        QCOMPARE(player()->FileName(), firstPart);
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kPlaying));
        QVERIFY(!ui->Enabled(ControlId::kModeSelector));
        // The first tick of the timer lets the slider move.
        QTRY_VERIFY_WITH_TIMEOUT(ui->view->PositionSlider()->IsSliderEnabled(), kPlayMs);
        QVERIFY(ui->LabelText(ControlId::kTimeLabel).startsWith(QStringLiteral("Time:00:00:0")));

        // Two seconds before the end of the first part: the stream plays on into the second
        // part, its time counting on from the first part's, with nothing opened anew.
        const int perPart = SecondsPerPart(kTwoPartRow);
        ui->ClickSliderAt(perPart - 2);
        QCOMPARE(playback().currentPart(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(player()->CurrentPosition().value_or(0) >= perPart - 2.5, kPlayMs);
        QTRY_VERIFY_WITH_TIMEOUT(player()->CurrentPosition().value_or(0) > perPart + 0.5, kPlayMs);
        QCOMPARE(player()->FileName(), firstPart);
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kPlaying));
        // The next tick places the time label and the slider in the second part.
        QTRY_COMPARE_WITH_TIMEOUT(playback().currentPart(), 1, kPlayMs);
        QCOMPARE(playback().partName(), PartPath(kTwoPartRow, 1).section(QLatin1Char('/'), -1).toStdString());
        QVERIFY(ui->view->PositionSlider()->GetPos() >= perPart);

        // The end of the recording stops the timer; the time label keeps its text.
        const int duration = int(ui->view->State().pane(0).detailsAt(kTwoPartRow)->timing.duration);
        ui->ClickSliderAt(duration - 1);
        QTRY_VERIFY_WITH_TIMEOUT(!ui->view->PlayerCommands().TimerRunning(), kPlayMs);
        QCOMPARE(playback().position(), 0u);
        QCOMPARE(playback().currentPart(), 0);
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kStopped));
        QVERIFY(ui->LabelText(ControlId::kTimeLabel).startsWith(QStringLiteral("Time:00:01:")));
        QVERIFY2(!ui->Enabled(ControlId::kModeSelector), "only S enables the mode selector again");
    }

    void seeksIntoTheSecondPartWhilePaused()
    {
        QVERIFY(PlayRow(kTwoPartRow));
        QTRY_VERIFY_WITH_TIMEOUT(ui->view->PositionSlider()->IsSliderEnabled(), kPlayMs);
        ui->Click(ControlId::kPause);
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kPaused));
        QVERIFY(!ui->view->PlayerCommands().TimerRunning());

        // One seek from the first part into the second: the same stream, at the recording's time.
        const int perPart = SecondsPerPart(kTwoPartRow);
        ui->ClickSliderAt(perPart + 7);
        const int position = ui->view->PositionSlider()->GetPos();
        QVERIFY(position > perPart);
        QCOMPARE(playback().currentPart(), 1);
        QCOMPARE(int(playback().seekPosition()), position);
        QCOMPARE(player()->FileName(), PartPath(kTwoPartRow, 0));
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kPaused));
        QCOMPARE(ui->LabelText(ControlId::kTimeLabel), QString::fromStdString(vmx::TimeLabelText(std::uint32_t(position))));
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(player()->CurrentPosition().value_or(-10) - position) < 0.6, kPlayMs);
        // mpv itself holds it still.
        QVERIFY(player()->MpvHolds());
        const double held = *player()->CurrentPosition();

        // PL resumes where it is.
        ui->Click(ControlId::kPlay);
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kPlaying));
        QVERIFY(!player()->MpvHolds());
        QVERIFY(ui->view->PlayerCommands().TimerRunning());
        QTRY_VERIFY_WITH_TIMEOUT(player()->CurrentPosition().value_or(0) > held + 0.2, kPlayMs);
        QCOMPARE(player()->FileName(), PartPath(kTwoPartRow, 0));
    }

    void playPauseAndStopRules()
    {
        // PA before anything plays does nothing; PL then starts the clicked recording, with the
        // clock and the mode selector as for any start, and S stops the clock for a mode switch.
        ui->ClickRow(0, 0);
        ui->Click(ControlId::kPause);
        QVERIFY(!playback().paused());
        ui->Click(ControlId::kPlay);
        QCOMPARE(player()->FileName(), PartPath(0, 0));
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kPlaying));
        QVERIFY(ui->view->PlayerCommands().TimerRunning());
        QVERIFY(!ui->Enabled(ControlId::kModeSelector));
        ui->Click(ControlId::kStop);
        QVERIFY(ui->ChooseMode(1));
        QVERIFY(!ui->view->PlayerCommands().TimerRunning());
        QVERIFY(ui->ChooseMode(0));

        QVERIFY(PlayRow(0));
        // PL while it plays changes nothing.
        const double before = player()->CurrentPosition().value_or(0);
        ui->Click(ControlId::kPlay);
        QCOMPARE(player()->FileName(), PartPath(0, 0));
        QTRY_VERIFY_WITH_TIMEOUT(player()->CurrentPosition().value_or(0) > before + 0.3, kPlayMs);

        // S stops, lets go of the file and enables the mode selector.
        ui->Click(ControlId::kStop);
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kStopped));
        QVERIFY(player()->FileName().isEmpty());
        QVERIFY(!ui->view->PlayerCommands().TimerRunning());
        QCOMPARE(ui->view->PositionSlider()->GetPos(), 0);
        QVERIFY(ui->Enabled(ControlId::kModeSelector));

        // PA, S, PL: the paused flag outlives S, so PL plays the file last played again from
        // its start, and the timer shows the player's time from 0 on.
        QVERIFY(PlayRow(0));
        ui->Click(ControlId::kPause);
        ui->Click(ControlId::kStop);
        ui->Click(ControlId::kPlay);
        QVERIFY(!playback().paused());
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kPlaying));
        QCOMPARE(player()->FileName(), PartPath(0, 0));
        QTRY_VERIFY_WITH_TIMEOUT(playback().position() >= 1, kPlayMs);
        QCOMPARE(ui->LabelText(ControlId::kTimeLabel), QString::fromStdString(vmx::TimeLabelText(playback().position())));
        QVERIFY(playback().position() <= std::uint32_t(player()->CurrentPosition().value_or(0)) + 1);
    }

    void missingPartIsNotPlayed()
    {
        QVERIFY(QFile::remove(ui->disk.path("RECORD/RF0003AA.TRP")));
        QVERIFY(ui->Load(0, ui->disk.recordDb()));
        ui->ClickRow(0, 2);
        const auto seen = AnswerNextMessage();
        ui->Click(ControlId::kPlay);
        QTRY_VERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("file don,t exist!!"));
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kStopped));
        QVERIFY(!ui->view->PlayerCommands().TimerRunning());
        QVERIFY(ui->Enabled(ControlId::kModeSelector));
    }

    void loadingAndModeSwitchesWaitForThePlayer()
    {
        QVERIFY(PlayRow(0));
        auto seen = AnswerNextMessage();
        ui->Click(ControlId::kLoadRight);
        QTRY_VERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("Can't load data files while video player is running. Please retry after stopping video."));
        QVERIFY(!ui->view->State().pane(1).loaded);

        // The mode selector is off while a recording plays; after PA, S, PL it is on while the
        // player runs again, and a mode switch is refused.
        ui->Click(ControlId::kPause);
        ui->Click(ControlId::kStop);
        ui->Click(ControlId::kPlay);
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kPlaying));
        seen = AnswerNextMessage();
        QVERIFY(ui->ChooseMode(1));
        QTRY_VERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("While"));
        // So short a text still leaves the title bar room for the whole title with its icon and
        // buttons (at least 100 pixels of them), not "Ve...ix".
        QVERIFY2(seen->width >= seen->titleWidth + 100, qPrintable(QString::number(seen->width)));
        QCOMPARE(ui->view->ModeSelector()->currentIndex(), 0);
        QCOMPARE(ui->view->State().mode, vmx::ViewMode::Record);
        QCOMPARE(ui->Headers(0), (QStringList{"No", "CHANNEL NAME", "DURATION"}));
        QCOMPARE(ui->view->Pane(0)->rowCount(), 3);
    }

    void deletingThePlayingRecordingStopsThePlayerFirst()
    {
        QVERIFY(PlayRow(kTwoPartRow));
        // Another recording goes; this one plays on.
        ui->ClickRow(0, 0);
        ui->PressDelete(0);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), (QStringList{"Sports HD", "News 24"}));
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kPlaying));
        QCOMPARE(player()->FileName(), PartPath(0, 0));

        ui->ClickRow(0, 0);
        ui->PressDelete(0);
        QVERIFY(ui->Idle());
        QCOMPARE(ui->Column(0, 1), QStringList{"News 24"});
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kStopped));
        QVERIFY(player()->FileName().isEmpty());
        QVERIFY(!ui->view->PlayerCommands().TimerRunning());
        QVERIFY(!playback().recording());
        QVERIFY(!ui->disk.exists("RECORD/RF0002AA.TRP"));
        QVERIFY(!ui->disk.exists("RECORD/RF0002AB.TRP"));
        // PL afterwards starts what is selected, not the deleted recording.
        ui->ClickRow(0, 0);
        ui->Click(ControlId::kPlay);
        QCOMPARE(player()->FileName(), ui->disk.path("RECORD/RF0003AA.TRP"));
    }

    void musicAndPicturesPlayFromBothPanes()
    {
        QVERIFY(QDir().mkpath(ui->disk.path("Music")));
        QVERIFY(QFile::copy(ui->disk.path("MP3/Tone G4.mp3"), ui->disk.path("Music/Mine.mp3")));
        QVERIFY(ui->ChooseMode(1));
        AnswerNextFileDialog(ui->disk.path("Music"), QStringLiteral("Mine.mp3"));
        ui->Click(ControlId::kChooseMp3Files);
        QCOMPARE(ui->Column(0, 1), QStringList{"Mine.mp3"});
        ui->ClickRow(0, 0);
        ui->Click(ControlId::kPlay);
        QCOMPARE(player()->FileName(), ui->disk.path("Music/Mine.mp3"));
        QVERIFY(!ui->Enabled(ControlId::kModeSelector));
        QVERIFY2(!ui->view->PlayerCommands().TimerRunning(), "no timer for music");

        ui->ClickRow(1, 1);
        ui->Click(ControlId::kPlay);
        QCOMPARE(player()->FileName(), ui->disk.path("MP3/Tone G4.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(player()->CurrentPosition().value_or(0) > 0.2, kPlayMs);

        ui->Click(ControlId::kStop);
        QVERIFY(ui->ChooseMode(2));
        ui->ClickRow(1, 1);
        ui->Click(ControlId::kPlay);
        QCOMPARE(player()->FileName(), ui->disk.path("IMAGE/Test card.jpg"));
        QTRY_VERIFY_WITH_TIMEOUT(player()->CurrentPosition().has_value(), kPlayMs);
        QCOMPARE(player()->GetPlayState(), int(CGomxctrl1::kPlaying));
    }
};

QTEST_MAIN(MainViewPlayerTest)
#include "tst_MainViewPlayer.moc"
