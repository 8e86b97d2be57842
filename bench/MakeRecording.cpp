// Builds a receiver folder for the benchmark: DIR/DZT000.DB listing one recording "BENCH" made
// of PARTS part files with real data, every part but the last of the full part size, at 60
// seconds per full part.
//
//   velmorix-bench-fixture DIR PARTS [LAST_PART_BYTES]
#include "recording/QuietUi.h"
#include "recording/RecordingSession.h"
#include "recording/Timing.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DIR PARTS [LAST_PART_BYTES]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const int parts = std::atoi(argv[2]);
    const std::uint64_t last = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : vmx::kFullPartSize;
    if (parts < 1 || parts > kDBMMaxParts || last == 0 || last > vmx::kFullPartSize)
        return 2;
    const std::string db = dir + "/DZT000.DB";
    vmx::QuietUi ui;
    vmx::RecordingSession session;
    const auto failed = [&ui] {
        std::fprintf(stderr, "%s\n", ui.lastMessage().c_str());
        return 1;
    };
    if (!session.init().empty() || !session.createDatabase(db, ui).ok || !session.loadPane(vmx::kLeftSide, db, ui).ok)
        return failed();
    vmx::NewRecording recording;
    recording.name = "BENCH";
    recording.duration = static_cast<std::uint32_t>(60 * (parts - 1) + 60 * last / vmx::kFullPartSize);
    const auto writeParts = [&](const std::string& prefix, std::vector<std::string>& names) -> std::string {
        std::vector<unsigned char> block(1 << 20);
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<unsigned char>(i * 7 + i / 188);
        for (int i = 0; i < parts; ++i) {
            const std::string name = prefix + static_cast<char>('A' + i / 26) + static_cast<char>('A' + i % 26) + ".TRP";
            names.push_back(name);
            const int fd = ::open((dir + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const std::uint64_t size = i + 1 < parts ? vmx::kFullPartSize : last;
            for (std::uint64_t done = 0; fd >= 0 && done < size;) {
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - done));
                if (::write(fd, block.data(), n) != static_cast<ssize_t>(n))
                    return "cannot write " + name;
                done += n;
            }
            if (fd < 0 || ::close(fd) != 0)
                return "cannot write " + name;
        }
        return {};
    };
    if (!session.registerRecording(vmx::kLeftSide, recording, writeParts, ui).ok || !session.savePane(vmx::kLeftSide, ui).ok)
        return failed();
    return 0;
}
