// The recording's clock against what ffprobe reads from streams ffmpeg made.
#include "recording/RecordingClock.h"

#include "common/QuietProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using vmx::KeyFrameSearch;
using vmx::RecordingClock;
using vmx::VideoCodec;
namespace fs = std::filesystem;

constexpr std::int64_t kWrap = std::int64_t{1} << 33;
constexpr std::int64_t kFrameTicks = 3600;  // 25 pictures a second

std::int64_t PtsDiff(std::int64_t a, std::int64_t b)
{
    std::int64_t d = (a - b) % kWrap;
    if (d < 0)
        d += kWrap;
    return d > kWrap / 2 ? d - kWrap : d;
}

// A video packet as ffprobe reports it, with the time the clock should give it.
struct Truth {
    std::int64_t pts = 0;
    std::uint64_t pos = 0;
    bool key = false;
    std::int64_t ticks = 0;
};

bool Ffmpeg(std::vector<std::string> args)
{
    args.insert(args.begin(), {"ffmpeg", "-nostdin", "-y", "-v", "error"});
    return vmx::RunQuietly(args).succeeded();
}

// The video packets of `ts` in stream order: pts, the byte position of the packet the PES starts
// in, and ffprobe's key flag.
std::vector<Truth> Probe(const fs::path& ts, std::uint64_t shift)
{
    const fs::path csv = ts.string() + ".csv";
    EXPECT_TRUE(vmx::RunQuietly({"ffprobe", "-v", "error", "-select_streams", "v", "-show_packets", "-show_entries",
                                 "packet=pts,pos,flags", "-of", "csv=p=0", "-o", csv.string(), ts.string()})
                    .succeeded());
    std::vector<Truth> packets;
    std::istringstream lines(vmxtest::readText(csv));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string pts, pos, flags;
        if (!std::getline(fields, pts, ',') || !std::getline(fields, pos, ',') || !std::getline(fields, flags, ',') ||
            pts.empty() || pts == "N/A" || pos.find_first_not_of("0123456789") != std::string::npos)
            continue;
        Truth t;
        t.pts = ((std::stoll(pts) % kWrap) + kWrap) % kWrap;  // ffprobe unwraps; the stream does not
        t.pos = std::stoull(pos) + shift;
        t.key = flags.find('K') != std::string::npos;
        packets.push_back(t);
    }
    return packets;
}

// Times as the clock counts them: from the earliest of the first pictures; after a jump between
// two pieces, on from the latest picture before it plus one picture.
void CountTimes(std::vector<std::vector<Truth>>& pieces)
{
    std::int64_t offset = 0;
    for (auto& piece : pieces) {
        std::int64_t base = piece.front().pts;
        for (std::size_t i = 0; i < piece.size() && i < 5; ++i)
            if (PtsDiff(piece[i].pts, base) < 0)
                base = piece[i].pts;
        std::int64_t latest = 0;
        for (Truth& t : piece) {
            t.ticks = offset + PtsDiff(t.pts, base);
            latest = std::max(latest, t.ticks);
        }
        offset = latest + kFrameTicks;
    }
}

// Writes `whole` split at `cuts` (byte offsets) into part files; their paths.
std::vector<std::string> Split(const std::vector<std::uint8_t>& whole, const std::vector<std::uint64_t>& cuts,
                               const fs::path& folder)
{
    std::vector<std::string> paths;
    std::uint64_t from = 0;
    std::vector<std::uint64_t> ends = cuts;
    ends.push_back(whole.size());
    for (std::size_t k = 0; k < ends.size(); ++k) {
        const fs::path path = folder / ("part" + std::to_string(k) + ".ts");
        vmxtest::writeBytes(path, std::vector<std::uint8_t>(whole.begin() + static_cast<std::ptrdiff_t>(from),
                                                            whole.begin() + static_cast<std::ptrdiff_t>(ends[k])));
        paths.push_back(path.string());
        from = ends[k];
    }
    return paths;
}

struct StreamCase {
    const char* name;
    VideoCodec codec;
    // One ffmpeg run per piece (its arguments before the output); the pieces are concatenated.
    std::vector<std::vector<std::string>> pieces;
    // Where the stream is split into parts, as fractions of its size (rounded to packets)...
    std::vector<double> cuts;
    // ... and then moved this many bytes into the packet (one that starts no picture).
    std::uint64_t cutInPacket;
    std::vector<double> times;
    std::uint64_t maxBytesPerSearch;
    // The program tables blanked out: the video is found by its PES stream id.
    bool withoutTables;
};

std::vector<std::string> Mpeg2(const std::string& input, const std::string& offset = "0")
{
    return {"-f", "lavfi", "-i", input, "-c:v", "mpeg2video", "-g", "12", "-q:v", "4", "-output_ts_offset", offset};
}

std::vector<std::string> H264(const std::string& input, const std::string& offset = "0")
{
    return {"-f", "lavfi", "-i", input, "-c:v", "libx264", "-g", "25", "-bf", "2", "-preset", "ultrafast",
            "-output_ts_offset", offset};
}

const std::vector<StreamCase> kStreams = {
    {"mpeg2 still then busy, three parts",
     VideoCodec::Mpeg2,
     {{"-f", "lavfi", "-i", "color=c=gray:s=352x288:r=25:d=10", "-f", "lavfi", "-i",
       "testsrc2=s=352x288:r=25:d=10", "-filter_complex", "[0:v][1:v]concat=n=2:v=1[v]", "-map", "[v]", "-c:v",
       "mpeg2video", "-g", "12", "-q:v", "4"}},
     {0.37, 0.71},
     100,
     {0, 0.02, 3.3, 9.99, 10.0, 10.5, 14.04, 17.77, 19.5, 19.9, 25},
     1 << 20,
     false},
    {"h264 wrapping, four parts",
     VideoCodec::H264,
     {H264("testsrc2=s=352x288:r=25:d=20", "95430")},
     {0.2, 0.5, 0.51},
     0,
     {0, 1, 5.5, 12.9, 13.4, 14, 19.0, 19.5, 30},
     1 << 20,
     false},
    {"mpeg2 jumping back, two parts",
     VideoCodec::Mpeg2,
     {Mpeg2("testsrc2=s=352x288:r=25:d=6", "5000"), Mpeg2("testsrc2=s=352x288:r=25:d=6", "100")},
     {0.6},
     0,
     {0, 2.5, 5.9, 5.98, 6.0, 6.1, 8.3, 11.5},
     1 << 20,
     false},
    {"h264 jumping forward past the wrap, no program tables",
     VideoCodec::Unknown,
     {H264("testsrc2=s=352x288:r=25:d=6", "20"), H264("testsrc2=s=352x288:r=25:d=6", "95440")},
     {},
     0,
     {0.5, 5.8, 6.0, 6.1, 9.9, 11.0},
     1 << 20,
     true},
    {"mpeg2 at a high rate, one part",
     VideoCodec::Mpeg2,
     {{"-f", "lavfi", "-i", "testsrc2=s=352x288:r=25:d=10,noise=alls=40:allf=t", "-c:v", "mpeg2video", "-g", "12",
       "-q:v", "2"}},
     {},
     0,
     {0.1, 3.7, 6.66, 9.4},
     4 << 20,
     false},
};

std::int64_t Ticks(double seconds) { return std::llround(seconds * 90000); }

TEST(RecordingClockTest, FindsTheKeyFrameAndPictureFfprobeReports)
{
    for (const StreamCase& c : kStreams) {
        SCOPED_TRACE(c.name);
        vmxtest::TempDir dir;
        std::vector<std::vector<Truth>> pieces;
        std::vector<std::uint8_t> whole;
        for (std::size_t i = 0; i < c.pieces.size(); ++i) {
            const fs::path piece = dir / ("piece" + std::to_string(i) + ".ts");
            std::vector<std::string> args = c.pieces[i];
            args.insert(args.end(), {"-f", "mpegts", piece.string()});
            ASSERT_TRUE(Ffmpeg(args));
            pieces.push_back(Probe(piece, whole.size()));
            ASSERT_FALSE(pieces.back().empty());
            const std::vector<std::uint8_t> bytes = vmxtest::readBytes(piece);
            whole.insert(whole.end(), bytes.begin(), bytes.end());
        }
        for (std::size_t at = 0; c.withoutTables && at + 188 <= whole.size(); at += 188) {
            const unsigned pid = ((whole[at + 1] & 0x1Fu) << 8) | whole[at + 2];
            if (pid == 0 || pid == 0x1000) {  // the PAT and ffmpeg's PMT become null packets
                whole[at + 1] = static_cast<std::uint8_t>((whole[at + 1] & 0xE0) | 0x1F);
                whole[at + 2] = 0xFF;
            }
        }
        CountTimes(pieces);
        std::vector<Truth> truth;
        for (const auto& piece : pieces)
            truth.insert(truth.end(), piece.begin(), piece.end());
        std::vector<std::uint64_t> cuts;
        for (double f : c.cuts) {
            std::uint64_t packet = static_cast<std::uint64_t>(f * static_cast<double>(whole.size() / 188));
            while (c.cutInPacket != 0 &&
                   std::any_of(truth.begin(), truth.end(), [&](const Truth& t) { return t.pos == packet * 188; }))
                ++packet;
            cuts.push_back(packet * 188 + c.cutInPacket);
        }
        const std::vector<std::string> parts = Split(whole, cuts, dir.path());
        auto partOf = [&](std::uint64_t pos) {
            return static_cast<int>(std::upper_bound(cuts.begin(), cuts.end(), pos) - cuts.begin());
        };
        auto offsetOf = [&](std::uint64_t pos) {
            const int part = partOf(pos);
            return part == 0 ? pos : pos - cuts[static_cast<std::size_t>(part - 1)];
        };

        RecordingClock clock;
        ASSERT_EQ(clock.open(parts), "");
        EXPECT_EQ(clock.codec(), c.codec);
        EXPECT_LT(clock.bytesRead(), (2u << 20) + 64u * 1024 * parts.size());
        std::int64_t last = 0;
        for (const Truth& t : truth)
            last = std::max(last, t.ticks);
        EXPECT_NEAR(clock.duration(), static_cast<double>(last) / 90000, 1e-6);
        for (std::size_t k = 1; k < parts.size(); ++k) {
            const auto first = std::find_if(truth.begin(), truth.end(), [&](const Truth& t) { return t.pos >= cuts[k - 1]; });
            ASSERT_NE(first, truth.end());
            EXPECT_NEAR(clock.partStart(static_cast<int>(k)), static_cast<double>(first->ticks) / 90000, 1e-6) << k;
        }

        for (double seconds : c.times) {
            SCOPED_TRACE("at " + std::to_string(seconds));
            const std::int64_t ticks = Ticks(seconds);
            const Truth* key = nullptr;
            const Truth* shown = nullptr;
            for (const Truth& t : truth) {
                if (t.key && t.ticks >= ticks && (!key || t.ticks < key->ticks))
                    key = &t;
                if (t.ticks <= ticks && (!shown || t.ticks > shown->ticks))
                    shown = &t;
            }
            const std::uint64_t before = clock.bytesRead();
            const KeyFrameSearch found = clock.keyFrameAtOrAfter(seconds);
            EXPECT_LT(clock.bytesRead() - before, c.maxBytesPerSearch);
            if (!key) {
                EXPECT_EQ(found.kind, KeyFrameSearch::Kind::End);
            } else {
                ASSERT_EQ(found.kind, KeyFrameSearch::Kind::Found) << found.problem;
                EXPECT_EQ(found.position.part, partOf(key->pos));
                EXPECT_EQ(found.position.offset, offsetOf(key->pos));
                EXPECT_NEAR(found.position.seconds, static_cast<double>(key->ticks) / 90000, 1e-6);
            }
            const KeyFrameSearch picture = clock.pictureAt(seconds);
            ASSERT_EQ(picture.kind, KeyFrameSearch::Kind::Found) << picture.problem;
            if (shown) {
                EXPECT_EQ(picture.position.part, partOf(shown->pos));
                EXPECT_EQ(picture.position.offset, offsetOf(shown->pos));
            }
        }
    }
}

// Random bytes, damaged and truncated parts never crash or hang the clock; where it cannot read
// timestamps it says so.
TEST(RecordingClockTest, DamagedStreamsAreUnusableNotFatal)
{
    vmxtest::TempDir dir;
    const fs::path stream = dir / "stream.ts";
    std::vector<std::string> args = Mpeg2("testsrc2=s=352x288:r=25:d=4");
    args.insert(args.end(), {"-f", "mpegts", stream.string()});
    ASSERT_TRUE(Ffmpeg(args));
    const std::vector<std::uint8_t> good = vmxtest::readBytes(stream);
    const std::uint64_t half = good.size() / 2 / 188 * 188;

    std::mt19937 random(20);
    auto randomBytes = [&](std::size_t n) {
        std::vector<std::uint8_t> bytes(n);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
        return bytes;
    };

    // Pure noise, with and without sync bytes where packets would start.
    for (int round = 0; round < 40; ++round) {
        std::vector<std::uint8_t> bytes = randomBytes(random() % 300000);
        if (round % 2 == 1)
            for (std::size_t i = 0; i < bytes.size(); i += 188)
                bytes[i] = 0x47;
        vmxtest::writeBytes(dir / "noise.ts", bytes);
        RecordingClock clock;
        if (!clock.open({(dir / "noise.ts").string()}).empty()) {
            EXPECT_EQ(clock.keyFrameAtOrAfter(1).kind, KeyFrameSearch::Kind::Unusable);
        }
        clock.keyFrameAtOrAfter(0.5);
        clock.pictureAt(2);
    }

    // A real stream damaged: bytes overwritten, truncated anywhere, parts cut off packet boundaries.
    for (int round = 0; round < 60; ++round) {
        std::vector<std::uint8_t> bytes = good;
        for (int i = 0; i < 50; ++i)
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
        bytes.resize(random() % bytes.size() + 1);
        const std::vector<std::string> parts = Split(bytes, {random() % bytes.size()}, dir.path());
        RecordingClock clock;
        (void)clock.open(parts);
        for (double t : {-1.0, 0.0, 1.3, 2.7, 3.9, 1e12}) {
            clock.keyFrameAtOrAfter(t);
            clock.pictureAt(t);
        }
        EXPECT_LT(clock.bytesRead(), 3 * good.size());
    }

    // A part of zeros in the middle: searches there say so, searches elsewhere still work.
    std::vector<std::uint8_t> zeros(half, 0);
    const std::vector<std::string> parts = Split(
        [&] {
            std::vector<std::uint8_t> all(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(half / 2));
            all.insert(all.end(), zeros.begin(), zeros.end());
            all.insert(all.end(), good.begin() + static_cast<std::ptrdiff_t>(half / 2), good.end());
            return all;
        }(),
        {half / 2, half / 2 + half}, dir.path());
    RecordingClock clock;
    ASSERT_EQ(clock.open(parts), "");
    EXPECT_EQ(clock.keyFrameAtOrAfter(0).kind, KeyFrameSearch::Kind::Found);
    const KeyFrameSearch inZeros = clock.keyFrameAtOrAfter(clock.partStart(2) - 0.001);
    EXPECT_EQ(inZeros.kind, KeyFrameSearch::Kind::Unusable);
    EXPECT_NE(inZeros.problem.find("part 2"), std::string::npos) << inZeros.problem;
}

}  // namespace
