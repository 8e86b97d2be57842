#pragma once

#include "common/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vmx {

// A recording's part files read as one stream, in record order, without joining them on disk:
// what a demultiplexer reads through its own reader. Each part is opened when the stream first
// reaches it (never through a link) and stays open; reads cross part boundaries.
// How far a read that fails steps on in a damaged part: 348 transport stream packets (64 KiB).
constexpr std::uint64_t kDamageStep = 188 * 348;

class PartStream {
public:
    // Empty, or the sentence naming the part that is missing or not a regular file.
    [[nodiscard]] std::string open(const std::vector<std::string>& partPaths);

    // Up to `size` bytes from the current position; 0 at the end, -1 with `error()` set when a part
    // cannot be read (the position stays where it was). With skipDamage(true) a stretch that
    // cannot be read is stepped over instead and noted in gaps(): the demultiplexer finds the
    // next packet after it.
    long long read(std::uint8_t* data, std::size_t size);
    void skipDamage(bool skip) { m_skipDamage = skip; }
    struct Gap {
        std::string partPath;
        std::uint64_t offset = 0;  // within the part
        std::uint64_t length = 0;
    };
    const std::vector<Gap>& gaps() const { return m_gaps; }
    // Moves to byte `position` of the whole stream (clamped to its size); the new position.
    std::uint64_t seek(std::uint64_t position);
    std::uint64_t position() const { return m_position; }
    std::uint64_t size() const { return m_total; }
    const std::string& error() const { return m_error; }

private:
    struct Part {
        std::string path;
        std::uint64_t start = 0;  // offset of its first byte in the stream
        std::uint64_t size = 0;
        UniqueFd fd;
    };
    std::vector<Part> m_parts;
    std::uint64_t m_total = 0;
    std::uint64_t m_position = 0;
    std::string m_error;
    bool m_skipDamage = false;
    std::vector<Gap> m_gaps;
};

}  // namespace vmx
