// Feeds arbitrary encoder output, in arbitrary chunks, through the ring buffer, the line splitter
// and the "Pos:" parser, as the output reader thread does.
#include "convert/EncoderRunner.h"
#include "convert/RingBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the chunk size, as pipes deliver output in pieces of any length.
    const std::size_t chunk = 1 + data[0] % 64;
    CRingBuffer buffer(16, 16);
    std::string line;
    for (std::size_t at = 1; at < size; at += chunk) {
        // The reader hands on each chunk up to its first zero byte.
        std::size_t n = 0;
        while (n < chunk && at + n < size && data[at + n] != 0)
            ++n;
        if (!buffer.Write(data + at, static_cast<int>(n)))
            return 0;
        while (vmx::NextLine(buffer, line)) {
            int percent = -1;
            if (vmx::ParseStatusLine(line, percent) && (percent < 0 || percent > 1000000009))
                std::abort();
        }
        // However the output looks, the unread rest never exceeds one line's worth.
        if (buffer.Count() > 1022 + 64)
            std::abort();
    }
    return 0;
}
