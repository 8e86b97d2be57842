#include "common/WriteAll.h"

#include "common/UniqueFd.h"
#include "support/TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <vector>

using namespace vmxtest;

TEST(WriteAll, WritesEveryByteAtItsPosition)
{
    TempDir dir;
    const auto path = dir / "part";
    writeText(path, "0123456789");
    vmx::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(fd.ok());
    EXPECT_EQ(vmx::WriteAllAt(fd.get(), "ab", 2, 3), 0);
    EXPECT_EQ(vmx::WriteAllAt(fd.get(), "XY", 2, 12), 0);  // past the end: a hole of zeros
    EXPECT_EQ(readBytes(path), (std::vector<std::uint8_t>{'0', '1', '2', 'a', 'b', '5', '6', '7', '8', '9', 0, 0, 'X', 'Y'}));
    // A large block is written whole.
    const std::vector<std::uint8_t> big(8 << 20, 0x47);
    EXPECT_EQ(vmx::WriteAllAt(fd.get(), big.data(), big.size(), 0), 0);
    EXPECT_EQ(readBytes(path).size(), big.size());
}

TEST(WriteAll, FailuresAreTheirErrno)
{
    TempDir dir;
    writeText(dir / "f", "x");
    vmx::UniqueFd readOnly(::open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(vmx::WriteAllAt(readOnly.get(), "a", 1, 0), EBADF);
    vmx::UniqueFd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    if (full.ok()) {
        EXPECT_EQ(vmx::WriteAllAt(full.get(), "a", 1, 0), ENOSPC);
    }
}

TEST(WriteAll, RoomIsTakenOrRefused)
{
    TempDir dir;
    vmx::UniqueFd fd(::open((dir / "probe").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    ASSERT_TRUE(fd.ok());
    EXPECT_EQ(vmx::ReserveRoom(fd.get(), 0), 0);
    EXPECT_EQ(vmx::ReserveRoom(fd.get(), 1 << 20), 0);
    const int tooMuch = vmx::ReserveRoom(fd.get(), std::uint64_t{1} << 62);
    EXPECT_TRUE(tooMuch == ENOSPC || tooMuch == EFBIG) << tooMuch;
}
