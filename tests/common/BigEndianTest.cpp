#include "common/BigEndian.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>

TEST(BigEndian, MostSignificantByteFirstAtAnyAddress)
{
    // One byte before each number, so that none of them is aligned.
    std::array<std::uint8_t, 1 + 2 + 4 + 8 + 1> bytes{};
    bytes.fill(0xEE);
    vmx::WriteBe16(bytes.data() + 1, 0x0506);
    vmx::WriteBe32(bytes.data() + 3, 0x01020304u);
    vmx::WriteBe64(bytes.data() + 7, 0x1112131415161718ull);
    const std::array<std::uint8_t, 16> expected = {0xEE, 0x05, 0x06, 0x01, 0x02, 0x03, 0x04, 0x11,
                                                   0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0xEE};
    EXPECT_EQ(bytes, expected) << "each writes its own bytes and nothing beside them";
    EXPECT_EQ(vmx::ReadBe16(bytes.data() + 1), 0x0506);
    EXPECT_EQ(vmx::ReadBe32(bytes.data() + 3), 0x01020304u);
    EXPECT_EQ(vmx::ReadBe64(bytes.data() + 7), 0x1112131415161718ull);
}

TEST(BigEndian, ExtremeValuesRoundTrip)
{
    for (const std::uint64_t value : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{0x80}, std::uint64_t{0xFF00},
                                      std::uint64_t{0x8000000000000001ull}, UINT64_MAX}) {
        SCOPED_TRACE(value);
        std::uint8_t bytes[8];
        vmx::WriteBe16(bytes, static_cast<std::uint16_t>(value));
        EXPECT_EQ(vmx::ReadBe16(bytes), static_cast<std::uint16_t>(value));
        vmx::WriteBe32(bytes, static_cast<std::uint32_t>(value));
        EXPECT_EQ(vmx::ReadBe32(bytes), static_cast<std::uint32_t>(value));
        vmx::WriteBe64(bytes, value);
        EXPECT_EQ(vmx::ReadBe64(bytes), value);
    }
    // The receiver's empty database header: version 5, header size 6, count 0.
    const std::uint8_t header[6] = {0, 5, 0, 6, 0, 0};
    EXPECT_EQ(vmx::ReadBe16(header), 5);
    EXPECT_EQ(vmx::ReadBe16(header + 2), 6);
}
