#include "convert/EncodeRun.h"
#include "convert/EncodeSettings.h"
#include "convert/JobScript.h"

#include "ConvertTestSupport.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <future>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <gtest/gtest.h>

using namespace vmxtest;
using vmx::OutputPathFor;
using vmx::EncodeRun;
using vmx::JobOutcome;
using vmx::RunKind;
using vmx::RunOutcome;

namespace {

// A program folder with the shipped templates and fake encoders: a source whose name holds
// "fail" ends with an error, "killed" is killed, "noencoder" ends as sh does for a program it
// cannot find, "slow" reports 50 % and waits, "empty" writes nothing, "orphan"
// finishes but leaves its output pipe held open, "gate" finishes once the file <source>.go
// appears (and takes it away); any other source gets its output written. Each encoder leaves
// its arguments, one a line, in <source>.args.
class EncodeRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::copy_file(std::string(VELMORIX_SOURCE_DIR) + "/res/tamsel.ini", scope.dir() / "tamsel.ini");
        const std::string fake =
            "#!/bin/sh\n"
            "src=$1; out=$3\n"
            "[ \"$1\" = -vo ] && { src=$4; out=$6; }\n"
            "printf '%s\\n' \"$@\" > \"$src.args\"\n"
            "case \"$src\" in\n"
            "  *gate*) while [ ! -e \"$src.go\" ]; do sleep 0.02; done; rm \"$src.go\"; printf done > \"$out\";;\n"
            "  *fail*) printf partial > \"$out\"; echo 'Error: bad input' >&2; echo; echo 'Exiting...'; exit 2;;\n"
            "  *killed*) printf partial > \"$out\"; kill -KILL $$;;\n"
            "  *noencoder*) echo 'convert.bat: 2: exec: mencoder: not found' >&2; exit 127;;\n"
            "  *slow*) printf partial > \"$out\"; printf 'Pos: 1.0s 25f (50%%)\\r'; exec sleep 30;;\n"
            "  *empty*) exit 0;;\n"
            // Ends by itself while a process outside its group still holds its output open.
            "  *orphan*) printf done > \"$out\"; setsid sleep 30 & echo \"$$ $!\" > \"$src.pids\"; exit 0;;\n"
            "  *) printf done > \"$out\";;\n"
            "esac\n";
        for (const char* name : {"mencoder", "mplayer"}) {
            writeText(scope.dir() / name, fake);
            std::filesystem::permissions(scope.dir() / name, std::filesystem::perms::owner_all);
        }
        std::filesystem::create_directory(out());
        vmx::CurrentEncodeSettings() = EncodeSettings();
        run.setDestination(out(), "[P]");
        run.setListener(&listener);
    }

    std::string source(const std::string& name, std::size_t size)
    {
        writeText(scope.dir() / name, std::string(size, 'x'));
        return (scope.dir() / name).string();
    }
    std::string out() const { return scope.folder() + "out"; }
    // Starts the run and waits for its end.
    void runToTheEnd(RunKind kind)
    {
        ASSERT_TRUE(run.start(kind));
        ASSERT_TRUE(WaitFor([&] { return listener.ended.load(); }, 20));
    }

    struct Listener : EncodeRun::Listener {
        std::atomic<bool> ended{false};
        RunOutcome outcome;
        void onRunEnded(const RunOutcome& o) override
        {
            outcome = o;
            ended = true;
        }
    };

    ProgramFolderScope scope;
    Listener listener;
    EncodeRun run;
};

TEST_F(EncodeRunTest, StartChecks)
{
    std::string first;
    EXPECT_EQ(run.checkStart(RunKind::Encode, first), EncodeRun::StartCheck::NoSources);
    EXPECT_EQ(run.addSourceFile(source("a.txt", 1)), EncodeRun::AddResult::IgnoredExtension);
    EXPECT_EQ(run.addSourceFile(scope.folder() + "a?.ts"), EncodeRun::AddResult::UnicodeProblem);
    EXPECT_EQ(run.addSourceFile(source("a.TRP", 10)), EncodeRun::AddResult::Added);
    EXPECT_EQ(run.addSourceFile(scope.folder() + "missing.ts"), EncodeRun::AddResult::Added);
    EXPECT_EQ(run.totalBytes(), 9);  // an unreadable file counts as -1
    run.setDestination(scope.folder() + "nowhere", "[P]");
    EXPECT_EQ(run.checkStart(RunKind::Encode, first), EncodeRun::StartCheck::InvalidFolder);
    run.setDestination(out(), "[P]");
    EXPECT_EQ(run.checkStart(RunKind::Encode, first), EncodeRun::StartCheck::Ok);
    EXPECT_EQ(first, out() + "/[P]a.avi");
    writeText(first, "old");
    EXPECT_EQ(run.checkStart(RunKind::Encode, first), EncodeRun::StartCheck::AskOverwrite);
    EXPECT_EQ(run.checkStart(RunKind::AudioDump, first), EncodeRun::StartCheck::Ok);
}

TEST(EncodeRun, VideoFilePatternsForTheFileChooser)
{
    const auto patterns = EncodeRun::videoFilePatterns();
    ASSERT_EQ(patterns.size(), 32u);
    EXPECT_EQ(patterns.front(), "*.mpeg");
    EXPECT_EQ(patterns.back(), "*.xvd");
    // "*.k3g*.vob" in the list stands for two types.
    EXPECT_EQ(std::count(patterns.begin(), patterns.end(), "*.k3g"), 1);
    EXPECT_EQ(std::count(patterns.begin(), patterns.end(), "*.vob"), 1);
    EXPECT_EQ(std::count(patterns.begin(), patterns.end(), "*.trp"), 1);
}

// Each failed job says why in one clause, and the run goes on with the next.
TEST_F(EncodeRunTest, FailedJobsAreReportedAndTheRunGoesOn)
{
    const struct {
        const char* source;
        JobOutcome::Status status;
        const char* message;
    } cases[] = {
        {"fail.ts", JobOutcome::Status::Failed, "the encoder mencoder failed with exit code 2: Error: bad input"},
        {"empty.ts", JobOutcome::Status::Failed, "the encoder mencoder ended without writing any output"},
        {"killed.ts", JobOutcome::Status::Failed, "the encoder mencoder was ended by signal 9 (Killed)"},
        {"noencoder.ts", JobOutcome::Status::Failed,
         "the encoder mencoder is not installed: it is neither beside the program nor in PATH"},
        {"gone.ts", JobOutcome::Status::Failed, "it cannot be read: No such file or directory"},
        {"good.ts", JobOutcome::Status::Done, ""},
    };
    for (const auto& c : cases)
        run.addSourceFile(c.source == std::string("gone.ts") ? scope.folder() + c.source : source(c.source, 10));
    ASSERT_NO_FATAL_FAILURE(runToTheEnd(RunKind::Encode));
    const auto& jobs = listener.outcome.jobs;
    ASSERT_EQ(jobs.size(), std::size(cases));
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        SCOPED_TRACE(cases[i].source);
        EXPECT_EQ(jobs[i].status, cases[i].status);
        EXPECT_EQ(jobs[i].message, cases[i].message);
        if (cases[i].status != JobOutcome::Status::Done) {
            EXPECT_FALSE(std::filesystem::exists(jobs[i].outputPath));
        }
    }
    EXPECT_EQ(readText(out() + "/[P]good.avi"), "done");
    EXPECT_FALSE(listener.outcome.allDone());
    EXPECT_EQ(run.updateProgress(), 100);
    EXPECT_FALSE(run.isRunning());
}

// The audio player exits 0 even without input: only an output file with content counts.
TEST_F(EncodeRunTest, AudioDumpWithoutOutputFails)
{
    run.addSourceFile(source("empty.trp", 10));
    run.addSourceFile(source("good.trp", 10));
    ASSERT_NO_FATAL_FAILURE(runToTheEnd(RunKind::AudioDump));
    ASSERT_EQ(listener.outcome.jobs.size(), 2u);
    EXPECT_EQ(listener.outcome.jobs[0].status, JobOutcome::Status::Failed);
    EXPECT_EQ(listener.outcome.jobs[1].outputPath, out() + "/[P]good.mp3");
    EXPECT_EQ(listener.outcome.jobs[1].status, JobOutcome::Status::Done);
}

TEST_F(EncodeRunTest, OverallProgressAndStop)
{
    run.addSourceFile(source("first.ts", 100));
    run.addSourceFile(source("slow.ts", 300));
    ASSERT_TRUE(run.start(RunKind::Encode));
    ASSERT_TRUE(WaitFor([&] { return run.currentJobIndex() == 1 && run.jobPercent() == 50; }, 20));
    EXPECT_EQ(run.updateProgress(), (150 + 100) * 100 / 400);
    run.stop();
    EXPECT_TRUE(listener.ended);
    EXPECT_TRUE(listener.outcome.cancelled);
    ASSERT_EQ(listener.outcome.jobs.size(), 2u);
    EXPECT_EQ(listener.outcome.jobs[1].status, JobOutcome::Status::Cancelled);
    EXPECT_TRUE(std::filesystem::exists(out() + "/[P]first.avi"));
    EXPECT_FALSE(std::filesystem::exists(out() + "/[P]slow.avi"));  // cut short: removed
    EXPECT_FALSE(run.isRunning());
}

// With no prefix and the source's own folder as destination, "clip.avi" would be its own
// output: that job is not run and its source stays as it was; the other jobs still run.
TEST_F(EncodeRunTest, OutputThatIsItsSourceIsRefused)
{
    run.setDestination(scope.folder(), "");
    run.addSourceFile(source("clip.avi", 10));
    run.addSourceFile(source("good.ts", 10));
    ASSERT_NO_FATAL_FAILURE(runToTheEnd(RunKind::Encode));
    const auto& jobs = listener.outcome.jobs;
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].status, JobOutcome::Status::Failed);
    EXPECT_NE(jobs[0].message.find("overwrite its source"), std::string::npos) << jobs[0].message;
    EXPECT_EQ(readText(scope.dir() / "clip.avi"), std::string(10, 'x'));
    EXPECT_EQ(jobs[1].status, JobOutcome::Status::Done);
    EXPECT_EQ(readText(scope.dir() / "good.avi"), "done");

    // Alone, the refused job ends the run at once.
    EncodeRun single;
    single.setDestination(scope.folder(), "");
    single.addSourceFile((scope.dir() / "clip.avi").string());
    Listener heard;
    single.setListener(&heard);
    EXPECT_FALSE(single.start(RunKind::Encode));
    EXPECT_TRUE(heard.ended);
    ASSERT_EQ(heard.outcome.jobs.size(), 1u);
    EXPECT_FALSE(single.isRunning());
    EXPECT_EQ(readText(scope.dir() / "clip.avi"), std::string(10, 'x'));
}

// A named pipe listed as a source is not handed to the encoder, which would wait on it forever.
TEST_F(EncodeRunTest, NamedPipeSourceFailsAtOnce)
{
    const std::string fifo = scope.folder() + "pipe.ts";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(run.addSourceFile(fifo), EncodeRun::AddResult::Added);
    EXPECT_EQ(run.jobs()[0].size, -1);
    run.addSourceFile(source("good.ts", 10));
    ASSERT_NO_FATAL_FAILURE(runToTheEnd(RunKind::Encode));
    const auto& jobs = listener.outcome.jobs;
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].status, JobOutcome::Status::Failed);
    EXPECT_EQ(jobs[0].message, "it is not a regular file");
    EXPECT_EQ(jobs[1].status, JobOutcome::Status::Done);
}

// A stop that comes after the encoder has finished by itself keeps the finished output.
TEST_F(EncodeRunTest, StopAfterTheEncoderEndedKeepsItsOutput)
{
    run.addSourceFile(source("orphan.ts", 10));
    ASSERT_TRUE(run.start(RunKind::Encode));
    const std::string avi = out() + "/[P]orphan.avi";
    int encoder = 0;
    int holder = 0;
    ASSERT_TRUE(WaitFor([&] {
        std::istringstream(readText(scope.folder() + "orphan.ts.pids")) >> encoder >> holder;
        return holder > 0;
    }, 20));
    ASSERT_TRUE(WaitFor([&] { return !ProcessAlive(encoder); }, 20));
    run.stop();
    kill(holder, SIGKILL);
    ASSERT_TRUE(listener.ended);
    ASSERT_EQ(listener.outcome.jobs.size(), 1u);
    EXPECT_EQ(listener.outcome.jobs[0].status, JobOutcome::Status::Done);
    EXPECT_EQ(readText(avi), "done");
}

// A file already at an output's place is replaced only by a finished conversion: a job that
// fails, writes nothing or is stopped removes only the partial file it made.
TEST_F(EncodeRunTest, ExistingOutputIsReplacedOnlyByAFinishedJob)
{
    const mode_t mask = umask(022);
    umask(mask);
    const struct {
        const char* source;
        JobOutcome::Status status;
        const char* left;
    } cases[] = {
        {"fail.ts", JobOutcome::Status::Failed, "old"},
        {"empty.ts", JobOutcome::Status::Failed, "old"},
        {"slow.ts", JobOutcome::Status::Cancelled, "old"},
        {"good.ts", JobOutcome::Status::Done, "done"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const std::string avi = OutputPathFor(c.source, out(), "[P]", ".avi");
        writeText(avi, "old");
        std::filesystem::permissions(avi, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        Listener heard;
        {
            EncodeRun single;
            single.setDestination(out(), "[P]");
            single.setListener(&heard);
            single.addSourceFile(source(c.source, 10));
            ASSERT_TRUE(single.start(RunKind::Encode));
            if (c.status == JobOutcome::Status::Cancelled) {
                ASSERT_TRUE(WaitFor([&] { return single.jobPercent() == 50; }, 20));
                single.stop();
            }
            ASSERT_TRUE(WaitFor([&] { return heard.ended.load(); }, 20));
        }
        ASSERT_EQ(heard.outcome.jobs.size(), 1u);
        EXPECT_EQ(heard.outcome.jobs[0].status, c.status) << heard.outcome.jobs[0].message;
        EXPECT_EQ(readText(avi), c.left);
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(out()))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"[P]" + std::string(c.source).substr(0, std::string(c.source).size() - 3) + ".avi"});
        struct stat st {};
        ASSERT_EQ(stat(avi.c_str(), &st), 0);
        // A new file gets the permissions the encoder would have given it.
        if (c.status == JobOutcome::Status::Done) {
            EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
        }
        std::filesystem::remove(avi);
    }
}

// Two runs at once each write their own scripts, each in a folder of its own inside the
// private runtime folder, which nobody else can enter; the folders go with their runs.
TEST_F(EncodeRunTest, RunsAtOnceKeepTheirScriptsApart)
{
    auto other = std::make_unique<EncodeRun>();
    other->setDestination(out(), "[Q]");
    run.addSourceFile(source("slow one.ts", 10));
    other->addSourceFile(source("slow two.ts", 10));
    ASSERT_TRUE(run.start(RunKind::Encode));
    ASSERT_TRUE(other->start(RunKind::Encode));
    ASSERT_TRUE(WaitFor([&] { return run.jobPercent() == 50 && other->jobPercent() == 50; }, 20));
    std::vector<std::string> scripts;
    for (const auto& entry : std::filesystem::directory_iterator(scope.runtimeFolder())) {
        EXPECT_TRUE(entry.path().filename().string().starts_with("run-")) << entry.path();
        EXPECT_EQ(std::filesystem::status(entry).permissions(), std::filesystem::perms::owner_all);
        scripts.push_back(readText(entry.path() / "convert.bat"));
    }
    ASSERT_EQ(scripts.size(), 2u);
    std::sort(scripts.begin(), scripts.end(), [](const std::string& a, const std::string& b) {
        return (a.find("slow one") != std::string::npos) > (b.find("slow one") != std::string::npos);
    });
    EXPECT_NE(scripts[0].find("slow one.ts"), std::string::npos);
    EXPECT_NE(scripts[1].find("slow two.ts"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(stat(scope.runtimeFolder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    other.reset();
    const auto left = std::distance(std::filesystem::directory_iterator(scope.runtimeFolder()),
                                    std::filesystem::directory_iterator());
    EXPECT_EQ(left, 1);
}

// A run keeps the destination, prefix and settings it started with: a Browse or a settings
// change made while its first job runs reaches neither its later jobs nor its outcome.
TEST_F(EncodeRunTest, ARunKeepsTheDestinationPrefixAndSettingsItStartedWith)
{
    run.addSourceFile(source("gate.ts", 10));
    run.addSourceFile(source("second.ts", 10));
    ASSERT_TRUE(run.start(RunKind::Encode));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(scope.dir() / "gate.ts.args"); }, 20));
    const std::string other = scope.folder() + "other";
    std::filesystem::create_directory(other);
    run.setDestination(other, "[Q]");
    vmx::CurrentEncodeSettings().nVidBitrate = 999;
    writeText(scope.dir() / "gate.ts.go", "");
    ASSERT_TRUE(WaitFor([&] { return listener.ended.load(); }, 20));

    const auto& jobs = listener.outcome.jobs;
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[1].outputPath, out() + "/[P]second.avi");
    EXPECT_EQ(jobs[1].status, JobOutcome::Status::Done) << jobs[1].message;
    EXPECT_EQ(readText(out() + "/[P]second.avi"), "done");
    EXPECT_TRUE(std::filesystem::is_empty(other));
    const std::string args = readText(scope.dir() / "second.ts.args");
    EXPECT_NE(args.find("vbitrate=150"), std::string::npos) << args;
    EXPECT_EQ(args.find("999"), std::string::npos) << args;
}

// The end notice of a run hands over that run's outcome, which a Start made while the listener
// is still reading it (the user-interface thread may start again as soon as the run has ended)
// leaves as it was.
TEST_F(EncodeRunTest, EndNoticeKeepsItsOutcomeWhileANewRunStarts)
{
    struct Holding : EncodeRun::Listener {
        std::promise<void> reached;
        std::shared_future<void> release;
        std::mutex mutex;
        std::vector<std::vector<std::string>> heard;  // per notice: each job's source and status
        void onRunEnded(const RunOutcome& outcome) override
        {
            bool first;
            {
                std::lock_guard lock(mutex);
                first = heard.empty();
            }
            if (first) {
                reached.set_value();
                release.wait_for(std::chrono::seconds(20));
            }
            std::vector<std::string> jobs;
            for (const auto& job : outcome.jobs)
                jobs.push_back(job.sourcePath + (job.status == JobOutcome::Status::Done ? " done" : " not done"));
            std::lock_guard lock(mutex);
            heard.push_back(jobs);
        }
        std::size_t count()
        {
            std::lock_guard lock(mutex);
            return heard.size();
        }
    } holding;
    std::promise<void> releaser;
    holding.release = releaser.get_future().share();
    run.setListener(&holding);

    const std::string gate = source("gate.ts", 10);
    run.addSourceFile(gate);
    ASSERT_TRUE(run.start(RunKind::Encode));
    writeText(gate + ".go", "");
    auto reached = holding.reached.get_future();
    ASSERT_EQ(reached.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    // The first run has ended; its listener is still reading the outcome it was handed.
    EXPECT_FALSE(run.isRunning());
    const bool started = run.start(RunKind::Encode);
    releaser.set_value();
    ASSERT_TRUE(started);
    ASSERT_TRUE(WaitFor([&] { return holding.count() == 1; }, 20));
    writeText(gate + ".go", "");
    ASSERT_TRUE(WaitFor([&] { return holding.count() == 2; }, 20));
    run.stop();
    const std::vector<std::string> one{gate + " done"};
    EXPECT_EQ(holding.heard, (std::vector<std::vector<std::string>>{one, one}));
}

// A runtime folder that is not the user's own private folder is never used for scripts.
TEST_F(EncodeRunTest, UnsafeRuntimeFolderEndsTheRun)
{
    std::filesystem::create_directory(scope.dir() / "elsewhere");
    std::filesystem::create_directory_symlink(scope.dir() / "elsewhere", scope.dir() / "runtime/velmorix");
    run.addSourceFile(source("good.ts", 10));
    EXPECT_FALSE(run.start(RunKind::Encode));
    EXPECT_TRUE(listener.ended);
    EXPECT_EQ(listener.outcome.error, "The folder " + scope.folder() + "runtime/velmorix is not safe for the job "
                                      "scripts: it is a link, not a folder.");
    EXPECT_TRUE(std::filesystem::is_empty(scope.dir() / "elsewhere"));
    EXPECT_FALSE(run.isRunning());
}

TEST(EncodeRun, SettingsAsTheDialogReturnsThem)
{
    EncodeSettings s;
    s.nVidEncoder = 9;
    s.fVidFps = 23.9761;
    const EncodeSettings back = EncodeRun::asDialogReturnsThem(s);
    EXPECT_EQ(back.nVidEncoder, 0);
    EXPECT_DOUBLE_EQ(back.fVidFps, 23.976);
    s.nVidEncoder = 6;
    EXPECT_EQ(EncodeRun::asDialogReturnsThem(s).nVidEncoder, 6);
}

}  // namespace
