#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace vmx {

// The speed of a transfer and the time it still needs, from the bytes done at the moments the
// copy reported them. The speed is taken over the last few seconds, so a slow start or a stall
// a minute ago does not weigh on it for the rest of a long copy.
class TransferRate {
public:
    using Clock = std::chrono::steady_clock;

    // `window`: how far back the speed looks. `settle`: how long the samples must span before
    // there is a speed to show at all (the first chunks say little about the disk).
    explicit TransferRate(Clock::duration window = std::chrono::seconds(5),
                          Clock::duration settle = std::chrono::seconds(1));

    // Forgets everything; the next sample starts a new measurement.
    void reset();

    // `bytesDone` bytes of the transfer were done at `now`. A count below the previous one starts
    // a new measurement (a new transfer reuses the object).
    void add(Clock::time_point now, std::uint64_t bytesDone);

    // Bytes per second over the window; none until the samples span `settle`.
    std::optional<double> bytesPerSecond() const;

    // Whole seconds until `totalBytes` are done at the current speed (rounded up); none without
    // a speed or while nothing moves.
    std::optional<std::chrono::seconds> timeLeft(std::uint64_t totalBytes) const;

    // "12.5 MB/s, 1:05 left" (megabytes of 1,000,000 bytes, as the status line counts them);
    // "12.5 MB/s" without a time left; empty without a speed.
    std::string text(std::uint64_t totalBytes) const;

private:
    struct Sample {
        Clock::time_point at;
        std::uint64_t bytes;
    };
    Clock::duration m_window;
    Clock::duration m_settle;
    std::deque<Sample> m_samples;
};

// "M:SS", or "H:MM:SS" from an hour on.
std::string DurationText(std::chrono::seconds duration);

}  // namespace vmx
