// velmorix-cli convert end to end, with the real encoder on a generated transport stream.
#include "ConvertTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

using namespace vmxtest;

namespace {

// A program folder of its own: the CLI and the shipped templates copied into a temporary folder.
// The user's settings and runtime folders are empty folders of the test, so no setting of the
// machine's user reaches it and the scripts a run writes never meet another test's.
class CliConvert : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::copy_file(std::string(VELMORIX_BIN_DIR) + "/velmorix-cli", cli());
        std::filesystem::copy_file(std::string(VELMORIX_SOURCE_DIR) + "/res/tamsel.ini", prog / "tamsel.ini");
        std::filesystem::create_directory(out());
        std::filesystem::create_directory(work / "runtime");
        std::filesystem::permissions(work / "runtime", std::filesystem::perms::owner_all);
    }
    // Nothing of a run is left behind: no partial output, no script folder.
    void expectNothingLeft() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(out()))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".vmx-")) << entry.path();
        EXPECT_TRUE(std::filesystem::is_empty(work / "runtime/velmorix"));
    }
    std::string cli() const { return (prog / "velmorix-cli").string(); }
    std::string out() const { return (work / "out dir").string(); }

    // Runs a command; returns its exit status and puts its output in `text`.
    static int run(const std::string& command, std::string& text)
    {
        text.clear();
        FILE* pipe = popen((command + " 2>&1").c_str(), "r");
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, n);
        const int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static double duration(const std::string& file, const std::string& stream)
    {
        std::string text;
        run("ffprobe -v error -select_streams " + stream + " -show_entries stream=duration -of csv=p=0 '" + file + "'",
            text);
        return text.empty() ? -1.0 : std::stod(text);
    }

    TempDir prog;
    TempDir work;
    EnvScope config{"XDG_CONFIG_HOME", (work / "config").c_str()};
    EnvScope runtime{"XDG_RUNTIME_DIR", (work / "runtime").c_str()};
};

TEST_F(CliConvert, EncodesAndDumpsAudio)
{
    const std::string source = (work / "news 1.ts").string();
    std::filesystem::copy_file(SampleTransportStream(), source);
    std::string text;
    ASSERT_EQ(run("'" + cli() + "' convert '" + source + "' --dest '" + out() + "'", text), 0) << text;
    const std::string avi = out() + "/[P]news 1.avi";
    ASSERT_TRUE(std::filesystem::exists(avi)) << text;
    EXPECT_NEAR(duration(avi, "v:0"), 8.0, 0.5);
    EXPECT_NEAR(duration(avi, "a:0"), 8.0, 0.5);
    // Playable: decodes to the end without an error.
    EXPECT_EQ(run("ffmpeg -nostdin -v error -i '" + avi + "' -f null -", text), 0);
    EXPECT_EQ(text, "");

    ASSERT_EQ(run("'" + cli() + "' convert '" + source + "' --dest '" + out() + "' --prefix 'A-' --audio-dump", text),
              0)
        << text;
    const std::string mp3 = out() + "/A-news 1.mp3";
    ASSERT_GT(std::filesystem::file_size(mp3), 0u);
    EXPECT_NEAR(duration(mp3, "a:0"), 8.0, 0.5);

    // The first output exists: without --yes and without a terminal the run does not start.
    EXPECT_EQ(run("'" + cli() + "' convert '" + source + "' --dest '" + out() + "' </dev/null", text), 1);
    EXPECT_NE(text.find("--yes"), std::string::npos) << text;
    // A missing source fails, and the last line says why: nothing written counts as done.
    EXPECT_EQ(run("'" + cli() + "' convert '" + (work / "gone.ts").string() + "' --dest '" + out() +
                      "' --audio-dump --yes",
                  text),
              1);
    EXPECT_TRUE(text.ends_with("velmorix-cli convert: 1 of 1 conversions failed: " + (work / "gone.ts").string() +
                               ": it cannot be read: No such file or directory\n"))
        << text;
    EXPECT_FALSE(std::filesystem::exists(out() + "/[P]gone.mp3"));
    expectNothingLeft();
}

TEST_F(CliConvert, JsonSaysWhatWasWritten)
{
    const std::string source = (work / "news 1.ts").string();
    std::filesystem::copy_file(SampleTransportStream(), source);
    writeText(work / "notes.txt", "not a video");
    std::string json;
    // Standard output alone: the progress and the skipped file go to standard error as before.
    ASSERT_EQ(run("('" + cli() + "' convert '" + source + "' '" + (work / "notes.txt").string() + "' --dest '" + out() +
                      "' --audio-dump --json 2>/dev/null)",
                  json),
              0)
        << json;
    const std::string mp3 = out() + "/[P]news 1.mp3";
    ASSERT_GT(std::filesystem::file_size(mp3), 0u);
    EXPECT_TRUE(json.starts_with("{\"command\":\"convert\",\"destination\":\"" + out() + "\"")) << json;
    EXPECT_NE(json.find("\"jobs\":[{\"source\":\"" + source + "\",\"output\":\"" + mp3 + "\"}]"), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"written\":[\"" + mp3 + "\"],\"removed\":[]"), std::string::npos) << json;
    EXPECT_NE(json.find("\"warnings\":[\"" + (work / "notes.txt").string() + " is not a video file type; skipped\"]"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"messages\":[\"Encoding complete!\"],\"seconds\":"), std::string::npos) << json;
    EXPECT_TRUE(json.ends_with("}\n")) << json;
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 1) << "one object, one line";
    // A failure says so on standard error alone.
    EXPECT_EQ(run("('" + cli() + "' convert '" + (work / "gone.ts").string() + "' --dest '" + out() +
                      "' --audio-dump --yes --json 2>/dev/null)",
                  json),
              1);
    EXPECT_EQ(json, "");
    expectNothingLeft();
}

TEST_F(CliConvert, InterruptStopsTheEncoderOnly)
{
    // An encoder that leaves a partial output behind and runs until it is stopped.
    const std::string pidFile = (work / "encoder.pid").string();
    writeText(prog / "mencoder", "#!/bin/sh\nprintf partial > \"$3\"\necho $$ > '" + pidFile +
                                     "'\nprintf 'Pos: 1.0s 25f (10%%)\\r'\nexec sleep 60\n");
    std::filesystem::permissions(prog / "mencoder", std::filesystem::perms::owner_all);
    // An unrelated process with the encoder's name.
    std::filesystem::copy_file("/bin/sleep", work / "mencoder");
    const std::string other = (work / "mencoder").string();
    pid_t unrelated = -1;
    char* otherArgv[] = {const_cast<char*>(other.c_str()), const_cast<char*>("60"), nullptr};
    ASSERT_EQ(posix_spawn(&unrelated, other.c_str(), nullptr, nullptr, otherArgv, environ), 0);

    const std::string source = (work / "long.ts").string();
    writeText(source, std::string(1000, 'x'));
    const std::string dest = out();
    pid_t cliPid = -1;
    const std::string cliPath = cli();
    char* argv[] = {const_cast<char*>(cliPath.c_str()), const_cast<char*>("convert"), const_cast<char*>(source.c_str()),
                    const_cast<char*>("--dest"), const_cast<char*>(dest.c_str()), nullptr};
    ASSERT_EQ(posix_spawn(&cliPid, cliPath.c_str(), nullptr, nullptr, argv, environ), 0);
    ASSERT_TRUE(WaitFor([&] { return !readText(pidFile).empty(); }, 20));
    const int encoder = std::stoi(readText(pidFile));
    ASSERT_TRUE(ProcessAlive(encoder));

    kill(cliPid, SIGINT);
    int status = 0;
    ASSERT_TRUE(WaitFor([&] { return waitpid(cliPid, &status, WNOHANG) == cliPid; }, 20));
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(WaitFor([&] { return !ProcessAlive(encoder); }, 5));
    EXPECT_FALSE(std::filesystem::exists(out() + "/[P]long.avi"));
    expectNothingLeft();
    EXPECT_TRUE(ProcessAlive(unrelated));
    kill(unrelated, SIGKILL);
    waitpid(unrelated, nullptr, 0);
}

// A run whose program is killed leaves nothing behind once the next run starts: its encoder dies
// with it, and the next run removes its partial output and its folder. A run still going on, and a
// file of the user that only looks like a partial output, are left alone.
TEST_F(CliConvert, KilledRunIsTidiedByTheNext)
{
    // An encoder that writes part of its output and runs until it is stopped for a source named
    // "long...", and finishes at once for any other; it notes its process id beside its source.
    writeText(prog / "mencoder", "#!/bin/sh\nprintf partial > \"$3\"\ncase \"$1\" in */long*)\n"
                                 "echo $$ > \"$1.pid\"; exec sleep 60;;\nesac\n");
    std::filesystem::permissions(prog / "mencoder", std::filesystem::perms::owner_all);
    const std::string mine = out() + "/.vmx-abcdefgh.avi";
    writeText(mine, "the user's own");
    const std::string dest = out();
    const std::string cliPath = cli();
    // Starts a conversion of `source` and waits for its encoder; gives the program's and the
    // encoder's process ids.
    auto start = [&](const std::string& source, pid_t& program, int& encoder) {
        writeText(source, std::string(1000, 'x'));
        char* argv[] = {const_cast<char*>(cliPath.c_str()), const_cast<char*>("convert"),
                        const_cast<char*>(source.c_str()), const_cast<char*>("--dest"),
                        const_cast<char*>(dest.c_str()), nullptr};
        ASSERT_EQ(posix_spawn(&program, cliPath.c_str(), nullptr, nullptr, argv, environ), 0);
        ASSERT_TRUE(WaitFor([&] { return !readText(source + ".pid").empty(); }, 20));
        encoder = std::stoi(readText(source + ".pid"));
    };
    auto partials = [&] {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(out()))
            if (entry.path().filename().string().starts_with(".vmx-"))
                names.insert(entry.path().filename().string());
        return names;
    };
    pid_t alive = -1, killed = -1;
    int aliveEncoder = -1, killedEncoder = -1;
    ASSERT_NO_FATAL_FAILURE(start((work / "long alive.ts").string(), alive, aliveEncoder));
    const std::set<std::string> aliveFiles = partials();
    ASSERT_EQ(aliveFiles.size(), 2u);  // the user's file and the live run's partial output
    ASSERT_NO_FATAL_FAILURE(start((work / "long killed.ts").string(), killed, killedEncoder));
    ASSERT_EQ(partials().size(), 3u);
    ASSERT_EQ(std::distance(std::filesystem::directory_iterator(work / "runtime/velmorix"),
                            std::filesystem::directory_iterator()),
              2);

    kill(killed, SIGKILL);
    ASSERT_EQ(waitpid(killed, nullptr, 0), killed);
    EXPECT_TRUE(WaitFor([&] { return !ProcessAlive(killedEncoder); }, 5)) << "the encoder dies with its program";

    const std::string next = (work / "short.ts").string();
    writeText(next, std::string(1000, 'x'));
    std::string text;
    ASSERT_EQ(run("'" + cli() + "' convert '" + next + "' --dest '" + out() + "'", text), 0) << text;
    EXPECT_TRUE(std::filesystem::exists(out() + "/[P]short.avi"));
    EXPECT_EQ(partials(), aliveFiles);
    EXPECT_EQ(readText(mine), "the user's own");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work / "runtime/velmorix"),
                            std::filesystem::directory_iterator()),
              1)
        << "the live run's folder stays";
    EXPECT_TRUE(ProcessAlive(aliveEncoder));

    kill(alive, SIGINT);
    ASSERT_EQ(waitpid(alive, nullptr, 0), alive);
    std::filesystem::remove(mine);
    expectNothingLeft();
}

// The finished output is renamed into place and then its folder is flushed, so that the new name
// reaches the disk with the file's bytes.
TEST_F(CliConvert, FinishedOutputIsFlushedWithItsFolder)
{
    if (std::system("strace -f -qq -o /dev/null true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace cannot trace here";
    writeText(prog / "mencoder", "#!/bin/sh\nprintf done > \"$3\"\n");
    std::filesystem::permissions(prog / "mencoder", std::filesystem::perms::owner_all);
    const std::string source = (work / "short.ts").string();
    writeText(source, std::string(1000, 'x'));
    const std::string log = (work / "trace.log").string();
    std::string text;
    // LeakSanitizer cannot run under ptrace; a sanitizer build checks everything else.
    ASSERT_EQ(run("ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" strace -f -qq -y -e "
                  "trace=rename,renameat,renameat2,fsync,fdatasync -o '" + log + "' '" + cli() + "' convert '" + source +
                      "' --dest '" + out() + "'",
                  text),
              0)
        << text;
    const std::string trace = readText(log);
    const std::size_t renamed = trace.find("/[P]short.avi\"");
    ASSERT_NE(renamed, std::string::npos) << trace;
    EXPECT_NE(trace.find("<" + out() + ">) = 0", renamed), std::string::npos) << trace;
    expectNothingLeft();
}

}  // namespace
