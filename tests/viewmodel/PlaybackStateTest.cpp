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

TEST(PlaybackStateTest, PlayStartsTheFirstPartWithTheNextQueued)
{
    PlaybackState state;
    const RecordDetails recording = ThreeParts();
    EXPECT_EQ(state.playRecording(false, &recording, false), PlayerStep{}) << "no row selected anywhere";
    EXPECT_EQ(state.playRecording(true, nullptr, false), PlayerStep{}) << "no row on the active side";

    const PlayerStep play = state.playRecording(true, &recording, false);
    EXPECT_EQ(play.openFile, Part('A'));
    EXPECT_EQ(play.queueNext, Part('B'));
    EXPECT_FALSE(play.openFromQueue);
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
    EXPECT_EQ(state.playRecording(true, &recording, false).openFile, Part('A'));
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
    EXPECT_TRUE(resume.openFile.empty());
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
    EXPECT_TRUE(resume.openFile.empty());
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
    EXPECT_TRUE(play.openFile.empty());
    EXPECT_EQ(play.timer, Timer::Keep);
    EXPECT_FALSE(state.recording());
}

TEST(PlaybackStateTest, TimerTicksCountSeconds)
{
    PlaybackState state;
    const PlayerStep tick = state.tick();
    EXPECT_TRUE(tick.enableSlider);
    EXPECT_TRUE(tick.showTime);
    EXPECT_EQ(tick.sliderPosition, 1);
    EXPECT_EQ(state.position(), 1u);
}

TEST(PlaybackStateTest, SeekingAcrossParts)
{
    PlaybackState state;
    const RecordDetails recording = ThreeParts();
    EXPECT_EQ(state.seek(30), PlayerStep{}) << "nothing played yet";
    (void)state.playRecording(true, &recording, false);
    const struct {
        int position;
        std::string openFile;
        std::string queueNext;
        int part;
        double offset;
    } seeks[] = {
        {150, Part('C'), "", 2, 30},       // part 2, the last: nothing to queue
        {59, Part('A'), Part('B'), 0, 59},
        {40, "", "", 0, 40},               // same part: the file is not set again
        {60, Part('B'), Part('C'), 1, 0},
        {400, Part('C'), "", 2, 280},      // past the end: the last part
    };
    for (const auto& s : seeks) {
        SCOPED_TRACE(s.position);
        const PlayerStep step = state.seek(s.position);
        EXPECT_EQ(step.openFile, s.openFile);
        EXPECT_EQ(step.queueNext, s.queueNext);
        EXPECT_EQ(step.seek, s.offset);
        EXPECT_FALSE(step.pause);
        EXPECT_TRUE(step.showTime);
        EXPECT_EQ(state.currentPart(), s.part);
        EXPECT_EQ(state.playerPart(), s.part);
        EXPECT_EQ(state.position(), std::uint32_t(s.position));
        EXPECT_EQ(state.reseek().seek, s.offset);
    }
    (void)state.pause();
    const PlayerStep paused = state.seek(70);
    EXPECT_EQ(paused.openFile, Part('B'));
    EXPECT_TRUE(paused.pause) << "the player stays paused at the new place";
}

TEST(PlaybackStateTest, PartsFollowEachOtherToTheEnd)
{
    PlaybackState state;
    const RecordDetails recording = ThreeParts();
    (void)state.playRecording(true, &recording, false);
    (void)state.tick();

    PlayerStep next = state.endOfFile();
    EXPECT_EQ(next.openFile, Part('B'));
    EXPECT_TRUE(next.openFromQueue);
    EXPECT_EQ(next.queueNext, Part('C'));
    EXPECT_EQ(state.currentPart(), 1);
    EXPECT_EQ(state.playerPart(), 1);
    EXPECT_EQ(state.partName(), "RF0001AB.TRP");

    next = state.endOfFile();
    EXPECT_EQ(next.openFile, Part('C'));
    EXPECT_EQ(next.queueNext, "");

    const PlayerStep end = state.endOfFile();
    EXPECT_TRUE(end.openFile.empty());
    EXPECT_EQ(end.timer, Timer::Stop);
    EXPECT_FALSE(end.sliderPosition) << "the slider and the time label keep what they show";
    EXPECT_FALSE(end.showTime);
    EXPECT_FALSE(end.modeSelectorEnabled) << "only S enables the mode selector";
    EXPECT_EQ(state.position(), 0u);
    EXPECT_EQ(state.currentPart(), 0);
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
    (void)state.playRecording(true, &recording, false);
    EXPECT_EQ(state.seek(70), PlayerStep{});
    EXPECT_EQ(state.playerPart(), 0);
    const PlayerStep end = state.endOfFile();
    EXPECT_TRUE(end.openFile.empty());
    EXPECT_EQ(end.timer, Timer::Stop);
}
