#include "common/FileLock.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace vmxtest;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(FileLock, WhatStandsAtTheNameIsNeverOpenedForWritingUnlessItIsALockFileOfItsOwn)
{
    // A link, a folder, a named pipe or a second name of another file at the lock's place is
    // named as the problem and left exactly as it was; in particular nothing is truncated.
    const struct {
        const char* what;
        void (*make)(const fs::path& at, const fs::path& other);
        const char* named;
    } cases[] = {
        {"symbolic link", [](const fs::path& at, const fs::path& other) { fs::create_symlink(other, at); },
         "a symbolic link"},
        {"folder", [](const fs::path& at, const fs::path&) { fs::create_directory(at); }, "a folder"},
        {"named pipe", [](const fs::path& at, const fs::path&) { ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); },
         "a named pipe"},
        {"hard link", [](const fs::path& at, const fs::path& other) { fs::create_hard_link(other, at); },
         "a hard link"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path other = dir / "RF0001AA.TRP";
        writeText(other, "the only copy of a recording");
        const fs::path at = dir / ".velmorix.lock";
        c.make(at, other);
        vmx::FileLock lock;
        EXPECT_NE(lock.acquire(at.string(), 0ms), 0);
        EXPECT_FALSE(lock.held());
        EXPECT_NE(lock.problem().find(at.string()), std::string::npos) << lock.problem();
        EXPECT_NE(lock.problem().find(c.named), std::string::npos) << lock.problem();
        EXPECT_EQ(readText(other), "the only copy of a recording");
        EXPECT_TRUE(fs::exists(fs::symlink_status(at)));
    }
}

TEST(FileLock, TheLockFileExistsOnlyWhileHeldAndAWaiterTakesTheNextOne)
{
    TempDir dir;
    const std::string path = (dir / ".velmorix.lock").string();
    vmx::FileLock first;
    ASSERT_EQ(first.acquire(path, 0ms), 0);
    EXPECT_TRUE(fs::exists(path));
    vmx::FileLock second;
    EXPECT_EQ(second.acquire(path, 0ms), EWOULDBLOCK);
    EXPECT_NE(second.holder().find("process " + std::to_string(::getpid())), std::string::npos) << second.holder();

    // The waiter opened the file the first holder removes at its release; it must end up holding
    // the lock on a file that has the name, not on the removed one.
    std::thread waiter([&] { EXPECT_EQ(second.acquire(path, 5000ms), 0); });
    std::this_thread::sleep_for(120ms);
    first.release();
    waiter.join();
    ASSERT_TRUE(second.held());
    struct stat named {};
    ASSERT_EQ(::stat(path.c_str(), &named), 0) << "the waiter's lock file has the name";
    vmx::FileLock third;
    EXPECT_EQ(third.acquire(path, 0ms), EWOULDBLOCK) << "and it keeps a third program out";
    second.release();
    EXPECT_FALSE(fs::exists(path)) << "no trace once nobody holds it";
}
