// Times what the main view does when a database is loaded into a pane: the database read, every
// recording measured from its part files, and the copies of the pane that the view paints from.
//
//   velmorix-bench-load DIR [RECORDINGS] [RUNS]      (default 200 recordings, 9 runs)
//
// DIR gets DZT000.DB listing RECORDINGS recordings of two parts each: a full part (sparse) and a
// short last part. Prints the median and the slowest run in milliseconds. With
// VELMORIX_BENCH_COLD=1 (as root) the kernel's caches are dropped before each run, so that every
// file is looked up on the disk again, as on a receiver's disk just plugged in.
#include "recording/QuietUi.h"
#include "recording/RecordingSession.h"
#include "recording/Timing.h"
#include "viewmodel/PaneCopy.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A part file of `size` bytes: sparse, apart from its first packet.
std::string WritePart(const std::string& path, std::uint64_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        return "cannot create " + path;
    std::vector<unsigned char> packet(188, 0xFF);
    packet[0] = 0x47;
    const bool ok = ::write(fd, packet.data(), packet.size()) == static_cast<ssize_t>(packet.size()) &&
                    ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    return ::close(fd) == 0 && ok ? std::string() : "cannot write " + path;
}

// Writes what is cached back and drops the page, inode and directory caches.
bool DropCaches()
{
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY);
    const bool ok = fd >= 0 && ::write(fd, "3", 1) == 1;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [RECORDINGS] [RUNS]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 200;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 9;
    if (count < 1 || count > 200 || runs < 1)
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
    for (int i = 0; i < count; ++i) {
        vmx::NewRecording recording;
        recording.name = "Recording " + std::to_string(i + 1);
        recording.duration = 80;
        const auto writeParts = [&](const std::string& prefix, std::vector<std::string>& names) {
            for (const char* letters : {"AA", "AB"}) {
                names.push_back(prefix + letters + ".TRP");
                const std::uint64_t size = names.size() == 1 ? vmx::kFullPartSize : 188 * 1000;
                if (std::string error = WritePart(dir + "/" + names.back(), size); !error.empty())
                    return error;
            }
            return std::string();
        };
        if (!session.registerRecording(vmx::kLeftSide, recording, writeParts, ui).ok)
            return failed();
    }
    if (!session.savePane(vmx::kLeftSide, ui).ok)
        return failed();

    const char* coldSetting = std::getenv("VELMORIX_BENCH_COLD");
    const bool cold = coldSetting != nullptr && std::string(coldSetting) == "1";
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        if (cold && !DropCaches()) {
            std::fprintf(stderr, "cannot drop the kernel's caches (run as root)\n");
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        const vmx::LoadResult result = session.loadPane(vmx::kLeftSide, db, ui);
        const vmx::PaneCopies copies = vmx::CopyRefreshedPanes(session, result.refresh);
        const auto end = std::chrono::steady_clock::now();
        if (!result.ok || !copies.panes[vmx::kLeftSide] ||
            copies.panes[vmx::kLeftSide]->rows.size() != static_cast<std::size_t>(count) ||
            !copies.panes[vmx::kLeftSide]->rows.back().timing.measured())
            return failed();
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("load %d recordings%s %8.1f ms median, %.1f ms slowest of %d runs\n", count, cold ? " (cold)" : "",
                ms[ms.size() / 2], ms.back(), runs);
    return 0;
}
