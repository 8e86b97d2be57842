// Feeds arbitrary bytes, split into part files at a place the input chooses, to the recording's
// clock, as a damaged or hostile recording would reach it, and asks it for key frames and
// pictures: it must answer (found, end or unusable) without a crash, a hang or a read out of bounds.
#include "recording/RecordingClock.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    return ::close(fd) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    // The first two bytes choose where the second part begins (in packets, plus a few bytes off a
    // packet boundary), the third the time asked for.
    const std::size_t split = std::min(size - 3, (std::size_t{data[0]} * 188 + data[1] % 8));
    const double when = data[2] / 8.0;
    static const std::string dir = [] {
        char pattern[] = "/tmp/fuzz-clock.XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        return std::string(pattern);
    }();
    static const std::vector<std::string> parts = [] {
        // The part files go with the fuzzer.
        std::atexit([] {
            ::unlink((dir + "/RF0001AA.TRP").c_str());
            ::unlink((dir + "/RF0001AB.TRP").c_str());
            ::rmdir(dir.c_str());
        });
        return std::vector<std::string>{dir + "/RF0001AA.TRP", dir + "/RF0001AB.TRP"};
    }();
    if (!WriteFile(parts[0], data + 3, split) || !WriteFile(parts[1], data + 3 + split, size - 3 - split))
        std::abort();
    vmx::RecordingClock clock;
    if (!clock.open(parts).empty())
        return 0;
    const double duration = clock.duration();
    if (!(duration >= 0) || !std::isfinite(duration))
        std::abort();
    for (const double t : {0.0, when, duration / 2, duration, duration + 1}) {
        const vmx::KeyFrameSearch key = clock.keyFrameAtOrAfter(t);
        if (key.kind == vmx::KeyFrameSearch::Kind::Found &&
            (key.position.part < 0 || key.position.part > 1 || key.position.seconds + 1e-6 < t))
            std::abort();
        (void)clock.pictureAt(t);
        (void)clock.partStart(1);
    }
    return 0;
}
