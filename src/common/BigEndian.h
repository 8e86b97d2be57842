#pragma once

#include <cstdint>

namespace vmx {

// Numbers stored most significant byte first, as the receiver's database holds them. Each reads
// or writes exactly its own bytes at `bytes`, whatever the host's byte order and alignment.

inline std::uint16_t ReadBe16(const std::uint8_t* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

inline std::uint32_t ReadBe32(const std::uint8_t* bytes)
{
    return std::uint32_t{ReadBe16(bytes)} << 16 | ReadBe16(bytes + 2);
}

inline std::uint64_t ReadBe64(const std::uint8_t* bytes)
{
    return std::uint64_t{ReadBe32(bytes)} << 32 | ReadBe32(bytes + 4);
}

inline void WriteBe16(std::uint8_t* bytes, std::uint16_t value)
{
    bytes[0] = static_cast<std::uint8_t>(value >> 8);
    bytes[1] = static_cast<std::uint8_t>(value & 0xFF);
}

inline void WriteBe32(std::uint8_t* bytes, std::uint32_t value)
{
    WriteBe16(bytes, static_cast<std::uint16_t>(value >> 16));
    WriteBe16(bytes + 2, static_cast<std::uint16_t>(value & 0xFFFF));
}

inline void WriteBe64(std::uint8_t* bytes, std::uint64_t value)
{
    WriteBe32(bytes, static_cast<std::uint32_t>(value >> 32));
    WriteBe32(bytes + 4, static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
}

}  // namespace vmx
