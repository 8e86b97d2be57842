#include "common/KernelCopy.h"

#include "common/UniqueFd.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <vector>

using namespace vmxtest;

namespace {

std::vector<std::uint8_t> pattern(std::size_t n)
{
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

}  // namespace

TEST(KernelCopy, CopiesTheRangeAndReportsEveryChunk)
{
    TempDir dir;
    const auto source = pattern(40 << 20);  // more than two kernel chunks
    writeBytes(dir / "in", source);
    vmx::UniqueFd in(::open((dir / "in").c_str(), O_RDONLY | O_CLOEXEC));
    vmx::UniqueFd out(::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    std::vector<std::uint64_t> seen;
    vmx::CopyFailure failure;
    ASSERT_TRUE(vmx::CopyBytes(in.get(), 100, out.get(), 5, source.size() - 100, [&](std::uint64_t done) {
        seen.push_back(done);
        return true;
    }, failure));
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.back(), source.size() - 100);
    const auto copied = readBytes(dir / "out");
    ASSERT_EQ(copied.size(), source.size() - 100 + 5);
    EXPECT_TRUE(std::equal(copied.begin() + 5, copied.end(), source.begin() + 100));
}

TEST(KernelCopy, ShortSourceCancelAndFailuresSayWhy)
{
    TempDir dir;
    writeBytes(dir / "in", pattern(1000));
    vmx::UniqueFd in(::open((dir / "in").c_str(), O_RDONLY | O_CLOEXEC));
    vmx::UniqueFd out(::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    vmx::CopyFailure failure;
    EXPECT_FALSE(vmx::CopyBytes(in.get(), 0, out.get(), 0, 2000, {}, failure));
    EXPECT_EQ(failure.reason(), "the file ended early");
    EXPECT_FALSE(vmx::CopyBytes(in.get(), 0, out.get(), 0, 1000, [](std::uint64_t) { return false; }, failure));
    EXPECT_EQ(failure.reason(), "cancelled");
    vmx::UniqueFd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    if (full.ok()) {
        EXPECT_FALSE(vmx::CopyBytes(in.get(), 0, full.get(), 0, 1000, {}, failure));
        EXPECT_EQ(failure.reason(), "No space left on device");
    }
}
