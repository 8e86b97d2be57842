// Builds a receiver folder for the benchmark: DIR/DZT000.DB listing one recording "BENCH" made
// of PARTS part files with real data, every part but the last of the full part size, at 60
// seconds per full part. With --ts the data is a transport stream of synthetic pictures (see
// SyntheticStream), and the duration is the stream's.
//
//   velmorix-bench-fixture DIR PARTS [LAST_PART_BYTES] [--ts]
#include "recording/QuietUi.h"
#include "recording/RecordingSession.h"
#include "recording/Timing.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint64_t kPacket = 188;
constexpr std::uint16_t kVideoPid = 0x100;
constexpr std::uint16_t kPmtPid = 0x1000;
constexpr int kKeyInterval = 12;            // pictures per group
constexpr std::uint64_t kStillPackets = 20;   // a picture of the still stretches
constexpr std::uint64_t kBusyPackets = 400;   // a picture of the busy stretches (15 Mbit/s)
constexpr std::uint64_t kStretchPictures = 250;  // ten seconds still, ten seconds busy, ...

std::uint64_t picturePackets(std::uint64_t picture)
{
    return (picture / kStretchPictures) % 2 == 0 ? kStillPackets : kBusyPackets;
}

std::uint32_t mpegCrc(const unsigned char* data, std::size_t size)
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= static_cast<std::uint32_t>(data[i]) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// An MPEG-2 transport stream of pictures without picture data, as the cut's clock reads it: the
// program tables before every group, one PES per picture with its PTS (25 pictures a second,
// starting 100 seconds before the 33-bit timestamp wraps), a sequence header at the start of each
// group of 12, and pictures that alternate every ten seconds between small and large, so that the
// byte rate varies as it does in broadcasts.
class SyntheticStream {
public:
    void next(unsigned char* packet)
    {
        std::fill(packet, packet + kPacket, 0xFF);
        packet[0] = 0x47;
        if (m_tables < 2 && m_left == 0 && m_picture % kKeyInterval == 0) {
            table(packet, m_tables++ == 0);
            return;
        }
        if (m_left == 0) {
            m_left = picturePackets(m_picture);
            startPicture(packet);
            ++m_picture;
            m_tables = 0;
        } else {
            header(packet, kVideoPid, false);
        }
        --m_left;
    }
    // Pictures in `packets` packets of stream.
    static std::uint64_t picturesIn(std::uint64_t packets)
    {
        std::uint64_t picture = 0;
        for (std::uint64_t used = 0; used < packets; ++picture)
            used += picturePackets(picture) + (picture % kKeyInterval == 0 ? 2 : 0);
        return picture;
    }

private:
    void header(unsigned char* packet, std::uint16_t pid, bool unitStart)
    {
        std::uint8_t& cc = m_counters[pid == kVideoPid ? 0 : pid == kPmtPid ? 1 : 2];
        packet[1] = static_cast<unsigned char>((unitStart ? 0x40 : 0) | (pid >> 8));
        packet[2] = static_cast<unsigned char>(pid & 0xFF);
        packet[3] = static_cast<unsigned char>(0x10 | (cc++ & 0x0F));
    }
    void table(unsigned char* packet, bool pat)
    {
        header(packet, pat ? 0 : kPmtPid, true);
        unsigned char* section = packet + 5;
        packet[4] = 0;  // pointer field
        std::size_t size = 0;
        if (pat) {
            const unsigned char body[] = {0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01,
                                          static_cast<unsigned char>(0xE0 | (kPmtPid >> 8)), kPmtPid & 0xFF};
            size = sizeof body;
            std::copy(body, body + size, section);
        } else {
            const unsigned char body[] = {0x02, 0xB0, 0x12, 0x00, 0x01, 0xC1, 0x00, 0x00,
                                          static_cast<unsigned char>(0xE0 | (kVideoPid >> 8)), kVideoPid & 0xFF, 0xF0, 0x00,
                                          0x02, static_cast<unsigned char>(0xE0 | (kVideoPid >> 8)), kVideoPid & 0xFF, 0xF0, 0x00};
            size = sizeof body;
            std::copy(body, body + size, section);
        }
        const std::uint32_t crc = mpegCrc(section, size);
        for (int i = 0; i < 4; ++i)
            section[size + static_cast<std::size_t>(i)] = static_cast<unsigned char>(crc >> (24 - 8 * i));
    }
    void startPicture(unsigned char* packet)
    {
        header(packet, kVideoPid, true);
        const std::uint64_t pts = (kFirstPts + m_picture * 3600) & ((std::uint64_t{1} << 33) - 1);
        unsigned char* p = packet + 4;
        const unsigned char pes[] = {0x00, 0x00, 0x01, 0xE0, 0x00, 0x00, 0x80, 0x80, 0x05,
                                     static_cast<unsigned char>(0x21 | ((pts >> 29) & 0x0E)),
                                     static_cast<unsigned char>(pts >> 22),
                                     static_cast<unsigned char>(((pts >> 14) & 0xFE) | 1),
                                     static_cast<unsigned char>(pts >> 7),
                                     static_cast<unsigned char>(((pts << 1) & 0xFE) | 1)};
        p = std::copy(pes, pes + sizeof pes, p);
        if (m_picture % kKeyInterval == 0) {
            const unsigned char sequence[] = {0x00, 0x00, 0x01, 0xB3, 0x16, 0x01, 0x20, 0x13, 0xFF, 0xFF, 0xE0, 0x18};
            p = std::copy(sequence, sequence + sizeof sequence, p);
        }
        // A picture header and the start of its first slice: a parser ends a picture at the next
        // picture only once a slice has begun.
        const unsigned char picture[] = {0x00, 0x00, 0x01, 0x00, 0x00, 0x0F, 0xFF, 0xF8, 0x00, 0x00, 0x01, 0x01};
        std::copy(picture, picture + sizeof picture, p);
    }

    static constexpr std::uint64_t kFirstPts = (std::uint64_t{1} << 33) - 100 * 90000;
    std::uint64_t m_picture = 0;
    std::uint64_t m_left = 0;
    int m_tables = 0;
    std::uint8_t m_counters[3] = {};
};

}  // namespace

int main(int argc, char** argv)
{
    bool transportStream = false;
    if (argc > 3 && std::string(argv[argc - 1]) == "--ts") {
        transportStream = true;
        --argc;
    }
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
    if (transportStream)
        recording.duration = static_cast<std::uint32_t>(
            SyntheticStream::picturesIn((static_cast<std::uint64_t>(parts - 1) * vmx::kFullPartSize + last) / kPacket) / 25);
    SyntheticStream stream;
    const auto writeParts = [&](const std::string& prefix, std::vector<std::string>& names) -> std::string {
        std::vector<unsigned char> block(kPacket * 5577);  // about 1 MiB of whole packets
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<unsigned char>(i * 7 + i / 188);
        for (int i = 0; i < parts; ++i) {
            const std::string name = prefix + static_cast<char>('A' + i / 26) + static_cast<char>('A' + i % 26) + ".TRP";
            names.push_back(name);
            const int fd = ::open((dir + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const std::uint64_t size = i + 1 < parts ? vmx::kFullPartSize : last;
            for (std::uint64_t done = 0; fd >= 0 && done < size;) {
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - done));
                if (transportStream) {
                    for (std::size_t k = 0; k + kPacket <= n; k += kPacket)
                        stream.next(block.data() + k);
                }
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
