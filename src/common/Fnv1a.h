#pragma once

#include <cstddef>
#include <cstdint>

namespace vmx {

inline constexpr std::uint64_t kFnv1aStart = 14695981039346656037ull;

// The 64-bit FNV-1a hash of `size` bytes, continued from `hash` (kFnv1aStart for a new one). Not a
// cryptographic hash: it tells apart the contents of files this program wrote and catches damage
// to the small files it reads back, nothing more.
inline std::uint64_t Fnv1a64(const void* data, std::size_t size, std::uint64_t hash = kFnv1aStart)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace vmx
