#include "common/QuietProcess.h"

#include "support/TempDir.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vmxtest;

TEST(QuietProcess, HowAProgramEnded)
{
    const struct {
        const char* what;
        std::vector<std::string> argv;
        bool started;
        bool succeeded;
    } cases[] = {
        {"exit 0", {"true"}, true, true},
        {"exit 1", {"false"}, true, false},
        {"killed", {"sh", "-c", "kill -9 $$"}, true, false},
        {"no such program", {"velmorix-no-such-program"}, false, false},
        {"nothing to run", {}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const vmx::QuietRun run = vmx::RunQuietly(c.argv);
        EXPECT_EQ(run.started(), c.started);
        EXPECT_EQ(run.succeeded(), c.succeeded);
    }
    EXPECT_EQ(vmx::RunQuietly({"velmorix-no-such-program"}).startError, ENOENT);
}

TEST(QuietProcess, ArgumentsArriveUnchangedAndNothingIsReadFromTheTerminal)
{
    TempDir dir;
    const std::string out = (dir / "args").string();
    // No shell parses the arguments; a program reading its input gets end-of-file at once.
    ::alarm(30);
    const vmx::QuietRun run = vmx::RunQuietly(
        {"sh", "-c", "read line; printf '%s|' \"$@\" > \"$0\"", out, "a b", "$(x)", "'q'", ""});
    ::alarm(0);
    EXPECT_TRUE(run.succeeded());
    EXPECT_EQ(readText(dir / "args"), "a b|$(x)|'q'||");
}
