#pragma once

#include "recording/UserInterface.h"

#include <cstdint>

namespace vmx {

// The warning line of the copy window.
inline constexpr const char* kCopyWarning = "Do not unplug the USB Connection!!!";

// The arithmetic of the copy window: the bytes of one transfer, the megabytes moved so far and
// the two percentages. Called at the start of each file and after each copied chunk.
class CopyProgress {
public:
    // Starts a transfer of `transferTotal` bytes.
    void start(std::uint64_t transferTotal);
    // Ends the transfer: the total and the transferred megabytes return to 0.
    void finish();

    // One step of a file of `fileTotal` bytes of which `copied` are done. Only the low 32 bits
    // of both count, as the receiver's parts are far below 4 GiB.
    CopyProgressView update(std::uint64_t fileTotal, std::uint64_t copied);

    std::uint64_t transferTotal() const { return m_total; }
    std::uint64_t transferredMegabytes() const { return m_transferredMb; }

private:
    std::uint64_t m_total = 0;
    std::uint64_t m_transferredMb = 0;
    std::uint32_t m_countedMb = 0;  // megabytes of the current file already added
};

}  // namespace vmx
