#include "common/ReadAll.h"

#include "common/UniqueFd.h"
#include "support/TempDir.h"

#include <cerrno>
#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <vector>

using namespace vmxtest;

TEST(ReadAll, ReadsUpToTheEndOfTheFile)
{
    TempDir dir;
    std::vector<std::uint8_t> bytes(3 << 20);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 13);
    writeBytes(dir / "f", bytes);
    vmx::UniqueFd fd(::open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC));
    std::vector<std::uint8_t> into(bytes.size(), 0xEE);
    std::size_t got = 0;
    EXPECT_EQ(vmx::ReadAllAt(fd.get(), into.data(), into.size(), 0, got), 0);
    EXPECT_EQ(got, bytes.size());
    EXPECT_EQ(into, bytes);
    // Near the end only what is there; the rest of the buffer is left as it was.
    std::uint8_t tail[8];
    std::fill(std::begin(tail), std::end(tail), 0xEE);
    EXPECT_EQ(vmx::ReadAllAt(fd.get(), tail, sizeof tail, bytes.size() - 3, got), 0);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(tail[2], bytes.back());
    EXPECT_EQ(tail[3], 0xEE);
    EXPECT_EQ(vmx::ReadAllAt(fd.get(), tail, sizeof tail, bytes.size() + 100, got), 0);
    EXPECT_EQ(got, 0u);
}

TEST(ReadAll, FailuresAreTheirErrno)
{
    TempDir dir;
    vmx::UniqueFd writeOnly(::open((dir / "f").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    std::uint8_t byte = 0;
    std::size_t got = 7;
    EXPECT_EQ(vmx::ReadAllAt(writeOnly.get(), &byte, 1, 0, got), EBADF);
    EXPECT_EQ(got, 0u);
    vmx::UniqueFd folder(::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    EXPECT_EQ(vmx::ReadAllAt(folder.get(), &byte, 1, 0, got), EISDIR);
}
