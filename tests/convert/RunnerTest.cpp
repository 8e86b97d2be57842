#include "convert/EncoderRunner.h"
#include "convert/ProcessRunner.h"
#include "convert/RingBuffer.h"

#include "ConvertTestSupport.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

using namespace vmxtest;
using vmx::ParseStatusLine;
using vmx::ChildExit;
using vmx::IEncoderRunnerOwner;
using vmx::NextLine;

namespace {

TEST(RingBuffer, WrapsAndGrowsInSteps)
{
    CRingBuffer buffer(8, 8);
    char out[64] = {};
    ASSERT_TRUE(buffer.Write("abcdef", 6));
    ASSERT_TRUE(buffer.Read(out, 4, true));
    ASSERT_TRUE(buffer.Write("ghi", 3));  // wraps at the end of the storage
    EXPECT_EQ(buffer.Capacity(), 8);
    ASSERT_TRUE(buffer.Read(out, 5, false));
    EXPECT_EQ(std::string(out, 5), "efghi");
    ASSERT_TRUE(buffer.Write("jkl", 3));  // 5 + 3 fills it: grows by one step first
    EXPECT_EQ(buffer.Capacity(), 16);
    ASSERT_TRUE(buffer.Write(std::string(20, 'x').data(), 20));  // shortfall 12 >= step: 16 + 8 * 2
    EXPECT_EQ(buffer.Capacity(), 32);
    EXPECT_EQ(buffer.Count(), 28);
    ASSERT_TRUE(buffer.Read(out, 9, true));
    EXPECT_EQ(std::string(out, 9), "efghijklx");
    EXPECT_FALSE(buffer.Read(out, 0, true));
    EXPECT_FALSE(buffer.Read(out, 20, true));
    EXPECT_FALSE(buffer.Skip(20));
    EXPECT_TRUE(buffer.Skip(19));
    EXPECT_EQ(buffer.Count(), 0);
    buffer.Write("z", 1);
    buffer.Clear();
    EXPECT_EQ(buffer.Count(), 0);
    EXPECT_TRUE(buffer.Write("", 0));
}

TEST(RingBuffer, NextLineCutsAtEitherTerminator)
{
    CRingBuffer buffer;
    std::string line;
    buffer.Write("Pos: 1s (", 9);
    EXPECT_FALSE(NextLine(buffer, line));  // not ended yet
    buffer.Write(" 4%)\ra\r\nb", 9);
    std::vector<std::string> lines;
    while (NextLine(buffer, line))
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"Pos: 1s ( 4%)", "a", "", }));
    EXPECT_EQ(buffer.Count(), 1);

    // A run of 1,023 bytes without a line end is dropped, so later status lines are still read
    // and the buffer stays small.
    buffer.Clear();
    const std::string longText(5000, 'x');
    buffer.Write(longText.data(), 5000);
    buffer.Write("\nPos: 2s ( 7%)\r", 15);
    lines.clear();
    while (NextLine(buffer, line))
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{std::string(5000 - 4 * 1023, 'x'), "Pos: 2s ( 7%)"}));
    EXPECT_EQ(buffer.Count(), 0);
    for (int i = 0; i < 100; ++i) {
        buffer.Write(longText.data(), 1000);  // one output chunk, then the reader drains lines
        EXPECT_FALSE(NextLine(buffer, line));
    }
    EXPECT_LE(buffer.Count(), 1022);
    EXPECT_LE(buffer.Capacity(), 8192);
    buffer.Clear();
    buffer.Write("a\0b\n", 4);
    EXPECT_FALSE(NextLine(buffer, line));
}

TEST(EncoderRunner, ParsesStatusLines)
{
    const struct {
        const char* line;
        bool parsed;
        int percent;
    } cases[] = {
        {"Pos: 0.1s 3f ( 0%)", true, 0},
        {"Pos: 512.0s 12800f (57%) 25fps", true, 57},
        {"Pos:   7.9s    199f (100%)  0.00fps Trem:   0min   0mb  A-V:0.000 [0:0]", true, 100},
        {"Pos: 1.0s 25f", false, -1},
        {"Pos: 1.0s 25f (12", true, 0},
        {"Pos: 1.0s (x5%)", true, 0},
        {" Pos: 1.0s (5%)", false, -1},
        {"Skipping frame!", false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        int percent = -1;
        EXPECT_EQ(ParseStatusLine(c.line, percent), c.parsed);
        EXPECT_EQ(percent, c.percent);
    }
}

// Records what a runner reports.
class RecordingRunner : public CProcessRunner {
public:
    ~RecordingRunner() override { StopChild(); }
    std::mutex mutex;
    std::string output, errors;
    std::vector<ChildExit> exits;
    std::atomic<int> terminated{0};
    std::function<void()> onTerminated;

protected:
    void OnOutputText(const char* text) override
    {
        std::lock_guard lock(mutex);
        output += text;
    }
    void OnErrorText(const char* text) override
    {
        std::lock_guard lock(mutex);
        errors += text;
    }
    void OnTerminated(const ChildExit& exit) override
    {
        {
            std::lock_guard lock(mutex);
            exits.push_back(exit);
        }
        if (onTerminated)
            onTerminated();
        ++terminated;
    }
};

TEST(ProcessRunner, DeliversOutputAndExitOnce)
{
    TempDir dir;
    writeText(dir / "job.sh", "printf 'out\\n'; printf 'err' >&2; exit 3\n");
    RecordingRunner runner;
    ASSERT_TRUE(runner.StartChild((dir / "job.sh").string(), false, true));
    ASSERT_TRUE(WaitFor([&] { return runner.terminated == 1; }, 10));
    runner.StopChild();
    EXPECT_EQ(runner.output, "out\n");
    EXPECT_EQ(runner.errors, "err");
    ASSERT_EQ(runner.exits.size(), 1u);
    EXPECT_EQ(runner.exits[0].exitCode, 3);
    EXPECT_FALSE(runner.exits[0].stopped);
    EXPECT_FALSE(runner.IsRunning());
}

TEST(ProcessRunner, CommandThatCannotStart)
{
    RecordingRunner runner;
    EXPECT_FALSE(runner.StartProcess({"/nonexistent/encoder", "x"}, true));
    EXPECT_EQ(runner.output, "Unable to start /nonexistent/encoder x\n");
    EXPECT_FALSE(runner.LastStartError().empty());
    EXPECT_FALSE(runner.StartProcess({}, true));
    runner.StopChild();
    runner.StopChild();  // nothing running: harmless
    EXPECT_EQ(runner.terminated, 0);
}

// The next child, started on the waiter thread of the one before, outlives that thread: a child
// dies with the program, not with the thread that started it.
TEST(ProcessRunner, StartsTheNextChildFromOnTerminated)
{
    TempDir dir;
    writeText(dir / "job.sh", "sleep 0.2; echo run\n");
    RecordingRunner runner;
    runner.onTerminated = [&] {
        if (runner.terminated < 2) {
            EXPECT_TRUE(runner.StartChild((dir / "job.sh").string(), false, false));
        }
    };
    ASSERT_TRUE(runner.StartChild((dir / "job.sh").string(), false, true));
    ASSERT_TRUE(WaitFor([&] { return runner.terminated == 3; }, 10));
    runner.StopChild();
    EXPECT_EQ(runner.output, "run\nrun\nrun\n");
}

// Stopping ends the child's whole process group and nothing else, whatever its name.
TEST(ProcessRunner, StopEndsOnlyItsOwnProcessGroup)
{
    TempDir dir;
    std::filesystem::copy_file("/bin/sleep", dir / "mencoder");
    pid_t unrelated = -1;
    const std::string name = (dir / "mencoder").string();
    char* argv[] = {const_cast<char*>(name.c_str()), const_cast<char*>("30"), nullptr};
    ASSERT_EQ(posix_spawn(&unrelated, name.c_str(), nullptr, nullptr, argv, environ), 0);

    writeText(dir / "job.sh", "'" + name + "' 30 & echo $! > '" + (dir / "pids").string() + "'; exec sleep 30\n");
    RecordingRunner runner;
    ASSERT_TRUE(runner.StartChild((dir / "job.sh").string(), false, true));
    ASSERT_TRUE(WaitFor([&] { return !readText(dir / "pids").empty(); }, 10));
    const int grandchild = std::stoi(readText(dir / "pids"));
    EXPECT_FALSE(runner.StartChild((dir / "job.sh").string(), false, true));  // one child at a time
    runner.StopChild();
    ASSERT_EQ(runner.terminated, 1);  // reported before StopChild returns
    EXPECT_TRUE(runner.exits[0].stopped);
    EXPECT_TRUE(WaitFor([&] { return !ProcessAlive(grandchild); }, 5));
    EXPECT_TRUE(ProcessAlive(unrelated));
    kill(unrelated, SIGKILL);
    waitpid(unrelated, nullptr, 0);
}

// A stop that comes after the child has ended by itself, but before the runner has collected
// it, is no stop: the child keeps its own exit status. Repeated, as the gap is short.
TEST(ProcessRunner, StopAfterTheChildEndedKeepsItsOwnExit)
{
    TempDir dir;
    const std::string pidFile = (dir / "pid").string();
    writeText(dir / "job.sh", "echo $$ > '" + pidFile + ".new'; mv '" + pidFile + ".new' '" + pidFile + "'; exit 0\n");
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        std::filesystem::remove(pidFile);
        RecordingRunner runner;
        ASSERT_TRUE(runner.StartChild((dir / "job.sh").string(), false, true));
        ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(pidFile); }, 10));
        const int child = std::stoi(readText(pidFile));
        while (ProcessAlive(child)) {
            // Spin: the stop is to land as soon after the child's end as possible.
        }
        runner.StopChild();
        ASSERT_EQ(runner.terminated, 1);
        EXPECT_FALSE(runner.exits[0].stopped);
        EXPECT_EQ(runner.exits[0].exitCode, 0);
    }
}

// A fake owner that records percentages.
class PercentOwner : public IEncoderRunnerOwner {
public:
    CRingBuffer buffer;
    std::vector<int> percents;
    std::vector<std::string> lines;
    std::atomic<bool> finished{false};
    ChildExit exit;
    CRingBuffer& outputBuffer() override { return buffer; }
    bool nextLine(std::string& line) override { return NextLine(buffer, line); }
    void setJobPercent(int percent) override { percents.push_back(percent); }
    void onEncoderLine(std::string_view line) override { lines.emplace_back(line); }
    void onJobFinished(const ChildExit& e) override
    {
        exit = e;
        finished = true;
    }
};

TEST(EncoderRunner, StatusLinesSplitAcrossChunks)
{
    TempDir dir;
    // Carriage-return-only status lines, one cut in the middle and delivered in two writes.
    writeText(dir / "job.sh",
              "printf 'Pos: 1.0s 25f ( 3'; sleep 0.2; printf '%%)\\rPos: 2.0s 50f (40%%)\\r'; "
              "echo 'Error: broken' >&2; printf 'Pos: 3.0s (100%%)\\r'\n");
    PercentOwner owner;
    {
        CEncoderRunner runner(owner);
        ASSERT_TRUE(runner.StartChild((dir / "job.sh").string(), false, true));
        ASSERT_TRUE(WaitFor([&] { return owner.finished.load(); }, 10));
    }
    EXPECT_EQ(owner.percents, (std::vector<int>{3, 40, 100}));
    EXPECT_EQ(owner.lines, (std::vector<std::string>{"Error: broken"}));
}

TEST(EncoderRunner, RealEncoderPercentRisesTo100)
{
    TempDir dir;
    const std::string out = (dir / "out.avi").string();
    PercentOwner owner;
    {
        CEncoderRunner runner(owner);
        ASSERT_TRUE(runner.StartProcess({"mencoder", SampleTransportStream(), "-o", out, "-of", "avi", "-ovc",
                                         "lavc", "-oac", "mp3lame", "-vf", "scale=160:128"},
                                        true));
        ASSERT_TRUE(WaitFor([&] { return owner.finished.load(); }, 60));
    }
    EXPECT_EQ(owner.exit.exitCode, 0);
    ASSERT_GT(owner.percents.size(), 10u);
    EXPECT_LT(owner.percents.front(), 50);
    EXPECT_EQ(owner.percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(owner.percents.begin(), owner.percents.end()));
}

}  // namespace
