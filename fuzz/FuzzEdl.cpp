// Feeds arbitrary text to the EDL reader: it either names a line or gives entries that hold what
// it promises, and what it gives is written and read back to the same stretches.
#include "recording/EdlFile.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const vmx::EdlParse parse = vmx::ParseEdl(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parse.error.empty()) {
        if (!parse.entries.empty() || !parse.error.starts_with("line "))
            std::abort();
        return 0;
    }
    for (const vmx::EdlEntry& entry : parse.entries)
        if (!std::isfinite(entry.start) || !std::isfinite(entry.end) || entry.start < 0 || !(entry.end > entry.start) ||
            entry.action < 0)
            std::abort();
    // Written with three decimals, times come back to within half a millisecond (or the stretch
    // is too short to keep its length, and is refused).
    const vmx::EdlParse back = vmx::ParseEdl(vmx::FormatEdl(parse.entries));
    if (back.error.empty() && back.entries.size() != parse.entries.size())
        std::abort();
    for (std::size_t i = 0; back.error.empty() && i < back.entries.size(); ++i)
        if (std::abs(back.entries[i].start - parse.entries[i].start) > 0.0005 * (1 + parse.entries[i].start * 1e-12) ||
            back.entries[i].action != parse.entries[i].action)
            std::abort();
    return 0;
}
