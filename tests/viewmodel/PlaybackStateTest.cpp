#include "viewmodel/PlaybackState.h"

#include "recording/PlaybackParts.h"

#include <gtest/gtest.h>

using namespace vmx;

namespace {

using Timer = PlayerStep::Timer;

const std::string kFolder = "/disk/RECORD/";

// A recording of three parts at 60 seconds per full part, 150 seconds in all.
RecordDetails ThreeParts()
{
    RecordDetails details;
    details.folder = kFolder;
    details.partNames = {"RF0001AA.TRP", "RF0001AB.TRP", "RF0001AC.TRP"};
    details.duration = 150;
    details.timing = TimingEntry{1000, 150, 2 * 133795840ull + 1000, 60, 30};
    return details;
}

std::string Part(char letter)
{
    return kFolder + "RF0001A" + letter + ".TRP";
}

}  // namespace

TEST(PlaybackStateTest, PlayStartsTheRecordingAsOneStream)
{
    PlaybackState state;
    const RecordDetails recording = ThreeParts();
    EXPECT_EQ(state.playRecording(false, &recording, false), PlayerStep{}) << "no row selected anywhere";
    EXPECT_EQ(state.playRecording(true, nullptr, false), PlayerStep{}) << "no row on the active side";

    const PlayerStep play = state.playRecording(true, &recording, false);
    EXPECT_EQ(play.openParts, (std::vector<std::string>{Part('A'), Part('B'), Part('C')}));
    EXPECT_TRUE(play.openFile.empty());
    EXPECT_EQ(play.timer, Timer::Start);
    EXPECT_EQ(play.modeSelectorEnabled, false);
    EXPECT_EQ(play.sliderRange, 150);
    EXPECT_EQ(state.partName(), "RF0001AA.TRP");
    EXPECT_TRUE(state.isPlaying(Part('A')));
    EXPECT_FALSE(state.isPlaying(kFolder + "RF0002AA.TRP"));

    EXPECT_EQ(state.playRecording(true, &recording, true), PlayerStep{}) << "PL while the player runs";
}

TEST(PlaybackStateTest, PauseResumeAndStop)
{
    PlaybackState state;
    const RecordDetails recording = ThreeParts();
    // PA before anything was handed to the player does nothing: PL then starts the recording.
    EXPECT_EQ(state.pause(), PlayerStep{});
    EXPECT_FALSE(state.paused());
    EXPECT_EQ(state.playRecording(true, &recording, false).openParts.size(), 3u);
    for (int i = 0; i < 5; ++i)
        (void)state.tick();
    EXPECT_EQ(state.position(), 5u);

    const PlayerStep pause = state.pause();
    EXPECT_TRUE(pause.pause);
    EXPECT_EQ(pause.timer, Timer::Stop);
    EXPECT_TRUE(state.paused());
    // PL resumes where it was: no file is handed over, the position goes on.
    PlayerStep resume = state.playRecording(true, &recording, false);
    EXPECT_TRUE(resume.resume);
    EXPECT_EQ(resume.timer, Timer::Start);
    EXPECT_TRUE(resume.openParts.empty());
    EXPECT_EQ(state.position(), 5u);

    // PA, S, PL: the paused flag outlives Stop, so PL resumes (from position 0).
    (void)state.pause();
    const PlayerStep stop = state.stop();
    EXPECT_TRUE(stop.stop);
    EXPECT_EQ(stop.timer, Timer::Stop);
    EXPECT_EQ(stop.sliderPosition, 0);
    EXPECT_EQ(stop.modeSelectorEnabled, true);
    EXPECT_TRUE(state.paused());
    EXPECT_EQ(state.position(), 0u);
    resume = state.playRecording(true, &recording, false);
    EXPECT_TRUE(resume.resume);
    EXPECT_TRUE(resume.openParts.empty());
    EXPECT_FALSE(state.paused());

    // Release forgets the recording and the paused flag: nothing plays on from its files.
    (void)state.pause();
    const PlayerStep release = state.release();
    EXPECT_TRUE(release.stop);
    EXPECT_FALSE(state.paused());
    EXPECT_FALSE(state.recording());
    EXPECT_FALSE(state.isPlaying(Part('A')));
    EXPECT_EQ(state.endOfFile(), PlayerStep{});
}

TEST(PlaybackStateTest, MissingLastPartIsNotPlayed)
{
    PlaybackState state;
    RecordDetails recording = ThreeParts();
    recording.timing = TimingEntry::Unmeasured(150);
    const PlayerStep play = state.playRecording(true, &recording, false);
    EXPECT_EQ(play.message, kPartFileMissingMessage);
    EXPECT_TRUE(play.openParts.empty());
    EXPECT_EQ(play.timer, Timer::Keep);
    EXPECT_FALSE(state.recording());
}

TEST(PlaybackStateTest, TimerTicksFollowThePlayer)
{
    PlaybackState state;
    const PlayerStep tick = state.tick();
    EXPECT_TRUE(tick.enableSlider);
    EXPECT_TRUE(tick.showTime);
    EXPECT_EQ(tick.sliderPosition, 1);
    EXPECT_EQ(state.position(), 1u);

    // With a recording, the position is where the player is, and the part follows it.
    const RecordDetails recording = ThreeParts();
    (void)state.playRecording(true, &recording, false);
    EXPECT_EQ(state.tick(61.7).sliderPosition, 61);
    EXPECT_EQ(state.currentPart(), 1);
    EXPECT_EQ(state.partName(), "RF0001AB.TRP");
    EXPECT_EQ(state.tick().sliderPosition, 62) << "no time from the player: one second on";
}

TEST(PlaybackStateTest, SeekingAcrossParts)
{
    PlaybackState state;
    const RecordDetails recording = ThreeParts();
    EXPECT_EQ(state.seek(30), PlayerStep{}) << "nothing played yet";
    (void)state.playRecording(true, &recording, false);
    // One timeline: every seek goes to the recording's time in the stream the player holds.
    const struct {
        int position;
        int part;
    } seeks[] = {
        {150, 2},  // the last part
        {59, 0},
        {40, 0},
        {60, 1},
        {400, 2},  // past the end: the last part
    };
    for (const auto& s : seeks) {
        SCOPED_TRACE(s.position);
        const PlayerStep step = state.seek(s.position);
        EXPECT_TRUE(step.openParts.empty()) << "the recording is not opened again";
        EXPECT_EQ(step.seek, double(s.position));
        EXPECT_FALSE(step.pause);
        EXPECT_TRUE(step.showTime);
        EXPECT_EQ(state.currentPart(), s.part);
        EXPECT_EQ(state.position(), std::uint32_t(s.position));
        EXPECT_EQ(state.reseek().seek, double(s.position));
    }
    (void)state.pause();
    const PlayerStep paused = state.seek(70);
    EXPECT_EQ(paused.seek, 70.0);
    EXPECT_TRUE(paused.pause) << "the player stays paused at the new place";
}

TEST(PlaybackStateTest, TheEndOfTheRecordingStopsTheClock)
{
    PlaybackState state;
    const RecordDetails recording = ThreeParts();
    (void)state.playRecording(true, &recording, false);
    (void)state.tick(130.0);
    EXPECT_EQ(state.currentPart(), 2);

    const PlayerStep end = state.endOfFile();
    EXPECT_TRUE(end.openParts.empty());
    EXPECT_EQ(end.timer, Timer::Stop);
    EXPECT_FALSE(end.sliderPosition) << "the slider and the time label keep what they show";
    EXPECT_FALSE(end.showTime);
    EXPECT_FALSE(end.modeSelectorEnabled) << "only S enables the mode selector";
    EXPECT_EQ(state.position(), 0u);
    EXPECT_EQ(state.currentPart(), 0);
}

TEST(PlaybackStateTest, AMarkHoldsThePlayerOnItsPicture)
{
    PlaybackState state;
    const RecordDetails recording = ThreeParts();
    const PlayerStep show = state.showPicture(recording, 75.5);
    EXPECT_EQ(show.openParts.size(), 3u);
    EXPECT_TRUE(show.openPaused);
    EXPECT_EQ(show.seek, 75.5);
    EXPECT_TRUE(show.exactSeek);
    EXPECT_EQ(show.sliderRange, 150);
    EXPECT_EQ(show.sliderPosition, 75);
    EXPECT_EQ(state.currentPart(), 1);
    EXPECT_TRUE(state.paused());
    EXPECT_EQ(state.showPicture(recording, 20).sliderRange, std::nullopt) << "the same recording";
}

TEST(PlaybackStateTest, MediaFilesHaveNoParts)
{
    PlaybackState state;
    const RecordDetails recording = ThreeParts();
    (void)state.playRecording(true, &recording, false);
    EXPECT_EQ(state.playFile(""), PlayerStep{});
    const PlayerStep show = state.playFile("/disk/IMAGE/a.jpg");
    EXPECT_EQ(show.openFile, "/disk/IMAGE/a.jpg");
    EXPECT_EQ(show.modeSelectorEnabled, false);
    EXPECT_EQ(show.timer, Timer::Keep);
    // The end of an MP3 file must not send the player into the recording played before.
    EXPECT_EQ(state.endOfFile(), PlayerStep{});
    EXPECT_EQ(state.seek(70), PlayerStep{});
}

TEST(PlaybackStateTest, PartsWithoutAPlainNameAreNotOpened)
{
    PlaybackState state;
    RecordDetails recording = ThreeParts();
    recording.partNames[1] = "../../etc/pa";
    // The stream ends before the part with the bad name: nothing after it can be reached.
    EXPECT_EQ(state.playRecording(true, &recording, false).openParts, std::vector<std::string>{Part('A')});
    EXPECT_EQ(state.seek(70), PlayerStep{});
    EXPECT_EQ(state.seek(130), PlayerStep{});
    EXPECT_EQ(state.currentPart(), 0);
    EXPECT_EQ(state.showPicture(recording, 70), PlayerStep{});
}
