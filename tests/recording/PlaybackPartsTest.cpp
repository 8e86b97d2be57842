#include "recording/PlaybackParts.h"

#include "recording/Timing.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace vmx;

TEST(PlaybackParts, PositionToPartAndOffset)
{
    // Three parts of 60 seconds each, the last one shorter.
    const TimingEntry three{static_cast<std::uint32_t>(kFullPartSize / 2), 150, kFullPartSize * 5 / 2, 60, 30};
    const struct {
        std::uint32_t position;
        int part;
        std::uint32_t offset;
    } cases[] = {
        {0, 0, 0}, {59, 0, 59}, {60, 1, 0}, {150, 2, 30}, {179, 2, 59},
        {180, 2, 60},  // past the last part's start: still the last part
        {100000, 2, 99880},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        const auto at = PartAtPosition(three, 3, c.position);
        ASSERT_TRUE(at);
        EXPECT_EQ(at->part, c.part);
        EXPECT_EQ(at->offset, c.offset);
    }
    EXPECT_FALSE(PartAtPosition(three, 0, 10)) << "no parts";
    EXPECT_FALSE(PartAtPosition(TimingEntry{100, 0, 100, 0, 0}, 1, 0)) << "0 seconds per part";
    EXPECT_FALSE(PartAtPosition(TimingEntry::Unmeasured(60), 1, 10)) << "unmeasured";
}

TEST(PlaybackParts, PathsOfThePartsAndTheEnd)
{
    RecordDetails details;
    details.folder = "/disk/RECORD/";
    details.partNames = {"RF0001AA.TRP", "RF0001AB.TRP", "../../etc/pa"};
    details.timing = TimingEntry{1000, 90, kFullPartSize + 1000, 60, 30};
    EXPECT_EQ(PartPathOf(details, 0), "/disk/RECORD/RF0001AA.TRP");
    EXPECT_EQ(PartPathOf(details, 1), "/disk/RECORD/RF0001AB.TRP");
    EXPECT_EQ(PartPathOf(details, 2), "") << "a name that is not a part file name";
    EXPECT_EQ(PartPathOf(details, 3), "") << "after the last part: the end of the recording";
    EXPECT_EQ(PartPathOf(details, -1), "");
    EXPECT_TRUE(CanPlay(details));
    details.timing = TimingEntry::Unmeasured(90);
    EXPECT_FALSE(CanPlay(details));
    EXPECT_STREQ(kPartFileMissingMessage, "file don,t exist!!");
}

TEST(TimingEntryTest, UnmeasuredKeepsOnlyTheDuration)
{
    const TimingEntry entry = TimingEntry::Unmeasured(77);
    EXPECT_FALSE(entry.measured());
    EXPECT_EQ(entry.duration, 77u);
    EXPECT_EQ(entry.lastPartSize, UINT32_MAX);
    EXPECT_EQ(entry.secondsPerPart, UINT32_MAX);
    EXPECT_EQ(entry.secondsInLastPart, UINT32_MAX);
    AVMRec record{};
    record.duration = 77;
    record.partCount = 1;
    std::memcpy(record.parts[0].name, "RF0001AA.TRP", 12);
    const TimingEntry missing = ComputeTimingEntry("/nowhere/", record);
    EXPECT_EQ(missing.totalSize, entry.totalSize);
    EXPECT_EQ(missing.duration, 77u);
}
