// The speed and time left of the copy window, fed with made-up moments instead of a clock.
#include "recording/TransferRate.h"

#include <gtest/gtest.h>

using vmx::TransferRate;
using namespace std::chrono_literals;

namespace {

const TransferRate::Clock::time_point t0{};

TransferRate::Clock::time_point at(std::chrono::milliseconds ms)
{
    return t0 + ms;
}

}  // namespace

TEST(TransferRateTest, NoSpeedUntilTheSamplesSpanTheSettlingTime)
{
    TransferRate rate;
    EXPECT_FALSE(rate.bytesPerSecond());
    EXPECT_EQ(rate.text(100), "");
    rate.add(at(0ms), 0);
    EXPECT_FALSE(rate.bytesPerSecond());
    rate.add(at(999ms), 16000000);
    EXPECT_FALSE(rate.bytesPerSecond());
    EXPECT_FALSE(rate.timeLeft(100000000));
    EXPECT_EQ(rate.text(100000000), "");
    rate.add(at(1000ms), 16000000);
    ASSERT_TRUE(rate.bytesPerSecond());
    EXPECT_DOUBLE_EQ(*rate.bytesPerSecond(), 16e6);
}

TEST(TransferRateTest, SteadyCopyGivesSpeedAndTimeLeft)
{
    TransferRate rate;
    for (int i = 0; i <= 8; ++i)
        rate.add(at(std::chrono::milliseconds(500 * i)), std::uint64_t(i) * 5000000);  // 10 MB/s
    ASSERT_TRUE(rate.bytesPerSecond());
    EXPECT_DOUBLE_EQ(*rate.bytesPerSecond(), 10e6);
    // 40 MB done of 690 MB: 65 seconds.
    EXPECT_EQ(rate.timeLeft(690000000), 65s);
    EXPECT_EQ(rate.text(690000000), "10.0 MB/s, 1:05 left");
    // A part of a second left counts as a whole second.
    EXPECT_EQ(rate.timeLeft(40000001), 1s);
    // Done (or a total below what was counted): nothing left.
    EXPECT_EQ(rate.timeLeft(40000000), 0s);
    EXPECT_EQ(rate.timeLeft(0), 0s);
    EXPECT_EQ(rate.text(40000000), "10.0 MB/s, 0:00 left");
}

TEST(TransferRateTest, SpeedLooksOnlyAtTheLastSeconds)
{
    TransferRate rate(5s, 1s);
    // One megabyte a second for a minute, then 20 MB a second.
    std::uint64_t bytes = 0;
    int ms = 0;
    for (; ms <= 60000; ms += 1000, bytes += 1000000)
        rate.add(at(std::chrono::milliseconds(ms)), bytes);
    EXPECT_NEAR(*rate.bytesPerSecond(), 1e6, 1);
    for (int i = 0; i < 20; ++i, ms += 500, bytes += 10000000)
        rate.add(at(std::chrono::milliseconds(ms)), bytes);
    EXPECT_NEAR(*rate.bytesPerSecond(), 20e6, 1);
}

TEST(TransferRateTest, StallShowsNoTimeLeft)
{
    TransferRate rate(5s, 1s);
    rate.add(at(0ms), 0);
    rate.add(at(1000ms), 8000000);
    for (int ms = 2000; ms <= 8000; ms += 1000)
        rate.add(at(std::chrono::milliseconds(ms)), 8000000);
    ASSERT_TRUE(rate.bytesPerSecond());
    EXPECT_DOUBLE_EQ(*rate.bytesPerSecond(), 0.0);
    EXPECT_FALSE(rate.timeLeft(100000000));
    EXPECT_EQ(rate.text(100000000), "0.0 MB/s");
}

TEST(TransferRateTest, FallingCountOrResetStartsAgain)
{
    TransferRate rate;
    rate.add(at(0ms), 0);
    rate.add(at(2000ms), 50000000);
    ASSERT_TRUE(rate.bytesPerSecond());
    // A new transfer reports from 0 again: the old samples must not make its speed negative.
    rate.add(at(3000ms), 0);
    EXPECT_FALSE(rate.bytesPerSecond());
    rate.add(at(4000ms), 2000000);
    EXPECT_DOUBLE_EQ(*rate.bytesPerSecond(), 2e6);

    rate.reset();
    EXPECT_FALSE(rate.bytesPerSecond());
    rate.add(at(10000ms), 5000000);
    rate.add(at(12000ms), 9000000);
    EXPECT_DOUBLE_EQ(*rate.bytesPerSecond(), 2e6);
}

TEST(TransferRateTest, DurationTexts)
{
    EXPECT_EQ(vmx::DurationText(0s), "0:00");
    EXPECT_EQ(vmx::DurationText(59s), "0:59");
    EXPECT_EQ(vmx::DurationText(61s), "1:01");
    EXPECT_EQ(vmx::DurationText(3599s), "59:59");
    EXPECT_EQ(vmx::DurationText(3600s), "1:00:00");
    EXPECT_EQ(vmx::DurationText(36061s), "10:01:01");
    EXPECT_EQ(vmx::DurationText(-5s), "0:00");
}
