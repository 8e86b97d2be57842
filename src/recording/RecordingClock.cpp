#include "recording/RecordingClock.h"

#include "common/UniqueFd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace vmx {

namespace {

constexpr std::uint64_t kPacketSize = 188;
// One read: 87 packets, a little under 16 KiB. Most probes find a picture in the first one.
constexpr std::uint64_t kChunkSize = 87 * kPacketSize;
// A scan's first read is smaller, and each one after doubles up to kChunkSize: a probe usually
// finds its picture within a few KiB more than it needs.
constexpr std::uint64_t kFirstChunkSize = 11 * kPacketSize;
constexpr std::int64_t kTicksPerSecond = 90000;
constexpr std::uint64_t kPtsMask = (std::uint64_t{1} << 33) - 1;
constexpr std::int64_t kPtsRange = std::int64_t{1} << 33;
constexpr unsigned kNoPid = 0x2000;
// The program map is looked for in the first MiB of the first part.
constexpr std::uint64_t kTableSearchBytes = 1 << 20;
// A probe gives up when no video picture starts within this many bytes.
constexpr std::uint64_t kProbeLimit = 4 << 20;
// Bisection stops once the bytes between its bounds are this few; a scan does the rest.
constexpr std::uint64_t kBisectStop = 96 << 10;
constexpr int kBisectSteps = 64;
// A search over the parts guesses this many times by the time before it halves.
constexpr int kGuessedSteps = 3;
// Pictures are sent in decoding order: with B pictures a presentation time may be up to this much
// earlier than one sent before it. The bisection keeps this margin below the time it looks for.
constexpr std::int64_t kReorderMargin = kTicksPerSecond / 2;
// Decoding times never go back in stream order, and a picture is shown at most this long after it
// is decoded; a bisection on decoding times keeps only this margin below the time it looks for.
constexpr std::int64_t kDecodeMargin = kTicksPerSecond / 4;
// Where a discontinuity is looked for, the scan starts this many bytes before the last picture
// known to lie before it, to see the pictures sent before it but shown after it.
constexpr std::uint64_t kReorderBytes = 512 << 10;
// A step back of more than this between two pictures is a discontinuity, not reordering.
constexpr std::int64_t kBackStep = 2 * kTicksPerSecond;
// Between neighbouring pictures a step forward beyond this is a discontinuity.
constexpr std::int64_t kForwardStep = 10 * kTicksPerSecond;
// Between samples far apart: a broadcast carries at least this many bytes a second, so more time
// than the bytes between two samples can hold (plus a minute, at most an hour) is a jump.
constexpr std::uint64_t kMinBytesPerSecond = 4000;
constexpr std::int64_t kSampleSlack = 60 * kTicksPerSecond;
constexpr std::int64_t kSampleStepCap = 3600 * kTicksPerSecond;
// A scan for a key frame gives up when it passes this much time without finding one, or reads this
// many bytes (timestamps that never reach the time asked for).
constexpr std::int64_t kKeyFrameGap = 30 * kTicksPerSecond;
constexpr std::uint64_t kScanLimit = 128 << 20;
constexpr std::int64_t kDefaultFrameTicks = 3600;  // 25 pictures a second
constexpr int kPicturesForFirstTime = 5;
constexpr int kDiscontinuitiesPerStretch = 16;
// The bytes of a picture's start kept to tell whether it is a key frame.
constexpr std::size_t kHeadBytes = 512;

// The signed difference a - b of two 33-bit timestamps, the shorter way round.
std::int64_t PtsDiff(std::uint64_t a, std::uint64_t b)
{
    auto d = static_cast<std::int64_t>((a - b) & kPtsMask);
    if (d > kPtsRange / 2)
        d -= kPtsRange;
    return d;
}

// A video picture's start found in the stream: the transport packet its PES begins in.
struct Picture {
    std::uint64_t global = 0;  // byte position in all parts read as one stream
    int part = 0;
    std::uint64_t offset = 0;
    std::uint64_t pts = 0;
    std::uint64_t dts = 0;  // the decoding time; the presentation time when the PES has none
    bool key = false;
};

struct TsPacket {
    bool pusi = false;
    bool randomAccess = false;
    unsigned pid = kNoPid;
    const std::uint8_t* payload = nullptr;
    std::size_t payloadSize = 0;
};

// Reads the header of the 188-byte packet at `p`; false when it is not a sound packet.
bool ParsePacket(const std::uint8_t* p, TsPacket& out)
{
    if (p[0] != 0x47 || (p[1] & 0x80) != 0)
        return false;
    out.pusi = (p[1] & 0x40) != 0;
    out.pid = (static_cast<unsigned>(p[1] & 0x1F) << 8) | p[2];
    const unsigned control = (p[3] >> 4) & 3u;
    std::size_t start = 4;
    out.randomAccess = false;
    if (control & 2u) {
        const std::size_t length = p[4];
        if (length > 0)
            out.randomAccess = (p[5] & 0x40) != 0;
        start = 5 + length;
    }
    if ((control & 1u) == 0 || start >= kPacketSize) {
        out.payload = nullptr;
        out.payloadSize = 0;
        return true;
    }
    out.payload = p + start;
    out.payloadSize = kPacketSize - start;
    return true;
}

struct PesHead {
    std::uint8_t streamId = 0;
    bool hasPts = false;
    std::uint64_t pts = 0;
    std::uint64_t dts = 0;  // the presentation time when the PES carries no decoding time
    std::size_t dataOffset = 0;  // where the elementary stream's bytes begin in the payload
};

// Reads the start of a PES packet; false when the payload does not begin one.
bool ParsePesHead(const std::uint8_t* p, std::size_t n, PesHead& out)
{
    if (n < 9 || p[0] != 0 || p[1] != 0 || p[2] != 1)
        return false;
    out.streamId = p[3];
    out.hasPts = false;
    out.dataOffset = std::min<std::size_t>(n, 9u + p[8]);
    if ((p[6] & 0xC0) == 0x80 && (p[7] & 0x80) != 0 && n >= 14 && p[8] >= 5) {
        out.hasPts = true;
        out.pts = (static_cast<std::uint64_t>((p[9] >> 1) & 7u) << 30) | (static_cast<std::uint64_t>(p[10]) << 22) |
                  (static_cast<std::uint64_t>(p[11] >> 1) << 15) | (static_cast<std::uint64_t>(p[12]) << 7) |
                  static_cast<std::uint64_t>(p[13] >> 1);
        out.dts = out.pts;
        if ((p[7] & 0xC0) == 0xC0 && n >= 19 && p[8] >= 10) {
            out.dts = (static_cast<std::uint64_t>((p[14] >> 1) & 7u) << 30) | (static_cast<std::uint64_t>(p[15]) << 22) |
                      (static_cast<std::uint64_t>(p[16] >> 1) << 15) | (static_cast<std::uint64_t>(p[17]) << 7) |
                      static_cast<std::uint64_t>(p[18] >> 1);
        }
    }
    return true;
}

bool IsVideoStreamType(unsigned type)
{
    switch (type) {
    case 0x01: case 0x02: case 0x10: case 0x1B: case 0x24: case 0x42: case 0xEA:
        return true;
    default:
        return false;
    }
}

// Whether the first bytes of a picture's elementary stream make it a key frame.
bool IsKeyFrame(VideoCodec codec, bool randomAccess, const std::uint8_t* p, std::size_t n)
{
    if (codec == VideoCodec::H264) {
        for (std::size_t i = 0; i + 3 < n; ++i) {
            if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1)
                continue;
            const unsigned type = p[i + 3] & 0x1Fu;
            if (type == 5 || type == 7)
                return true;
            if (type >= 1 && type <= 4)
                return false;  // a slice of a picture that is not an IDR one
            i += 3;
        }
        return false;
    }
    if (randomAccess)
        return true;
    if (codec != VideoCodec::Mpeg2)
        return false;
    for (std::size_t i = 0; i + 3 < n; ++i) {
        if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1)
            continue;
        if (p[i + 3] == 0xB3 || p[i + 3] == 0xB8)
            return true;
        if (p[i + 3] == 0x00)
            return false;  // the picture header came first
        i += 3;
    }
    return false;
}

// Without a program map: the codec the start codes at the beginning of a picture suggest.
VideoCodec GuessCodec(const std::uint8_t* p, std::size_t n)
{
    for (std::size_t i = 0; i + 3 < n; ++i) {
        if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1)
            continue;
        if (p[i + 3] == 0xB3 || p[i + 3] == 0xB8 || p[i + 3] == 0x00)
            return VideoCodec::Mpeg2;
        if ((p[i + 3] & 0x80) == 0 && ((p[i + 3] & 0x1F) == 9 || (p[i + 3] & 0x1F) == 7))
            return VideoCodec::H264;
        return VideoCodec::Unknown;
    }
    return VideoCodec::Unknown;
}

}  // namespace

struct RecordingClock::Impl {
    struct PartFile {
        UniqueFd fd;
        std::string name;
        std::uint64_t size = 0;
        std::uint64_t globalStart = 0;
        std::uint64_t sync = 0;     // offset of the first whole transport packet
        std::uint64_t packets = 0;  // whole packets from `sync` on
        bool synced = false;  // whether `sync`, `packets` and `usable` have been read
        bool usable = false;
        bool probed = false;           // whether `first` has been looked for
        std::optional<Picture> first;  // the first picture starting at or after the part's start
    };
    // From `global` on, a timestamp counts from `base` and the time adds `offset` ticks.
    struct Segment {
        std::uint64_t global = 0;
        std::uint64_t base = 0;
        std::int64_t offset = 0;
    };
    enum class ScanEnd { Stopped, EndOfStream, UnusablePart, Limit };
    struct ScanResult {
        ScanEnd end = ScanEnd::EndOfStream;
        int part = 0;
    };

    std::vector<PartFile> m_parts;
    std::vector<Segment> m_segments;
    std::uint64_t m_totalSize = 0;
    unsigned m_videoPid = kNoPid;
    VideoCodec m_codec = VideoCodec::Unknown;     // as the program map names it
    VideoCodec m_keyCodec = VideoCodec::Unknown;  // how key frames are told (guessed without a map)
    std::int64_t m_durationTicks = 0;
    std::uint64_t m_bytesRead = 0;
    std::string m_problem = "the recording has not been opened.";

    std::string open(const std::vector<std::string>& paths);

    std::size_t readAt(const PartFile& part, std::uint64_t offset, std::uint8_t* to, std::size_t size)
    {
        std::size_t done = 0;
        for (int attempts = 0; done < size && attempts < 64; ++attempts) {
            const ssize_t n = ::pread(part.fd.get(), to + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        m_bytesRead += done;
        return done;
    }

    std::string partName(int part) const
    {
        return "part " + std::to_string(part + 1) + " (" + m_parts[static_cast<std::size_t>(part)].name + ")";
    }

    bool findSync(PartFile& part);
    // Whether part `k` holds a transport stream; its packets are found the first time it is asked.
    bool ready(std::size_t k)
    {
        PartFile& part = m_parts[k];
        if (!part.synced) {
            part.synced = true;
            part.usable = findSync(part);
        }
        return part.usable;
    }
    bool findVideoStream();
    std::optional<Picture> lastPicture();
    void buildSegments();

    // Reads pictures from `global` on in stream order and hands each to `visit` until it returns
    // false, the stream ends, an unusable part comes, or `limit` bytes have been read.
    template <typename Visit>
    ScanResult scan(std::uint64_t global, std::uint64_t limit, Visit&& visit);

    std::optional<Picture> firstPictureFrom(std::uint64_t global, std::uint64_t limit = kProbeLimit)
    {
        std::optional<Picture> found;
        scan(global, std::min(limit, kProbeLimit), [&](const Picture& p) {
            found = p;
            return false;
        });
        return found;
    }

    // The part's first picture, looked for the first time it is asked for.
    const std::optional<Picture>& firstOf(std::size_t k)
    {
        PartFile& part = m_parts[k];
        if (!part.probed) {
            part.probed = true;
            if (ready(k))
                part.first = firstPictureFrom(part.globalStart + part.sync);
        }
        return part.first;
    }

    const Segment& segmentOf(const Picture& p) const
    {
        auto it = std::upper_bound(m_segments.begin(), m_segments.end(), p.global,
                                   [](std::uint64_t g, const Segment& s) { return g < s.global; });
        return it == m_segments.begin() ? m_segments.front() : *(it - 1);
    }

    std::int64_t timeOf(const Picture& p) const
    {
        const Segment& s = segmentOf(p);
        return s.offset + PtsDiff(p.pts, s.base);
    }

    // Whether every picture sent before `p` is shown before `ticks`. With `decode`, by its decoding
    // time (its presentation time when the PES carries only that, as for a picture shown as soon
    // as it is decoded): decoding times only grow in stream order and a picture is shown at most
    // kDecodeMargin after it is decoded. Else by its presentation time and the reordering margin.
    bool allBefore(const Picture& p, std::int64_t ticks, bool decode) const
    {
        const Segment& s = segmentOf(p);
        if (decode)
            return s.offset + PtsDiff(p.dts, s.base) < ticks - kDecodeMargin;
        return s.offset + PtsDiff(p.pts, s.base) < ticks - kReorderMargin;
    }

    bool plausibleStep(const Picture& a, const Picture& b) const
    {
        const std::int64_t d = PtsDiff(b.pts, a.pts);
        if (d < -kBackStep)
            return false;
        const std::uint64_t bytes = b.global > a.global ? b.global - a.global : 0;
        const auto byBytes = static_cast<std::int64_t>(std::min<std::uint64_t>(bytes / kMinBytesPerSecond, 1u << 30));
        return d <= std::min(kSampleStepCap, kSampleSlack + byBytes * kTicksPerSecond);
    }

    bool locateDiscontinuity(const Picture& from, const Picture& to, Picture& after);
    // Finds the discontinuities between the starts of parts `i` and `j` (`j` may be the part count:
    // then `b` is the last picture), sampling part starts between them only where the step between
    // the ends is implausible.
    void findJumps(std::size_t i, const Picture& a, std::size_t j, const Picture& b);
    // The bounds of the bytes where the picture at `ticks` (less the reordering margin) lies.
    void bracket(std::int64_t ticks, bool decode, std::uint64_t& lo, std::uint64_t& hi);
    std::uint64_t bisect(std::int64_t ticks, bool decode);
    // A time asked for, in ticks; nothing (and `result` says why) when the clock cannot answer.
    std::optional<std::int64_t> ticksAsked(double seconds, KeyFrameSearch& result) const
    {
        if (!m_problem.empty() || !std::isfinite(seconds)) {
            result.problem = m_problem.empty() ? "the time asked for is not a number." : m_problem;
            return std::nullopt;
        }
        return static_cast<std::int64_t>(std::llround(std::clamp(seconds, -1e9, 1e9) * kTicksPerSecond));
    }
    std::string unusablePart(int part) const
    {
        return partName(part) + " holds no readable transport stream there.";
    }
    static StreamPosition positionOf(const Picture& p, std::int64_t ticks)
    {
        return StreamPosition{p.part, p.offset, static_cast<double>(ticks) / kTicksPerSecond};
    }
};

template <typename Visit>
RecordingClock::Impl::ScanResult RecordingClock::Impl::scan(std::uint64_t global, std::uint64_t limit, Visit&& visit)
{
    if (m_parts.empty() || global >= m_totalSize)
        return {ScanEnd::EndOfStream, 0};
    std::size_t k = 0;
    while (k + 1 < m_parts.size() && m_parts[k + 1].globalStart <= global)
        ++k;

    struct Pending {
        bool active = false;
        bool randomAccess = false;
        Picture picture;
        std::array<std::uint8_t, kHeadBytes> head{};
        std::size_t size = 0;
        int packets = 0;
    } pending;
    bool stop = false;
    auto finish = [&]() {
        if (!pending.active)
            return;
        pending.active = false;
        pending.picture.key = IsKeyFrame(m_keyCodec, pending.randomAccess, pending.head.data(), pending.size);
        if (!visit(static_cast<const Picture&>(pending.picture)))
            stop = true;
    };
    auto append = [&](const std::uint8_t* p, std::size_t n) {
        const std::size_t take = std::min(n, kHeadBytes - pending.size);
        std::memcpy(pending.head.data() + pending.size, p, take);
        pending.size += take;
    };

    std::vector<std::uint8_t> chunk(kChunkSize);
    std::uint64_t chunkSize = kFirstChunkSize;
    std::uint64_t scanned = 0;
    for (bool firstPart = true; k < m_parts.size(); ++k, firstPart = false) {
        if (!ready(k))
            return {ScanEnd::UnusablePart, static_cast<int>(k)};
        const PartFile& part = m_parts[k];
        std::uint64_t packet = 0;
        if (firstPart && global > part.globalStart + part.sync)
            packet = (global - part.globalStart - part.sync + kPacketSize - 1) / kPacketSize;
        while (packet < part.packets) {
            if (scanned >= limit)
                return {ScanEnd::Limit, static_cast<int>(k)};
            const std::uint64_t offset = part.sync + packet * kPacketSize;
            const std::uint64_t want = std::min<std::uint64_t>(chunkSize, (part.packets - packet) * kPacketSize);
            chunkSize = std::min(chunkSize * 2, kChunkSize);
            const std::size_t got = readAt(part, offset, chunk.data(), static_cast<std::size_t>(want));
            scanned += want;
            const std::uint64_t count = got / kPacketSize;
            if (count == 0)
                return {ScanEnd::UnusablePart, static_cast<int>(k)};
            for (std::uint64_t i = 0; i < count; ++i) {
                TsPacket ts;
                if (!ParsePacket(chunk.data() + i * kPacketSize, ts) || ts.pid != m_videoPid)
                    continue;
                if (ts.pusi) {
                    finish();
                    if (stop)
                        return {ScanEnd::Stopped, static_cast<int>(k)};
                    PesHead pes;
                    if (ts.payload == nullptr || !ParsePesHead(ts.payload, ts.payloadSize, pes) || !pes.hasPts)
                        continue;
                    pending.active = true;
                    pending.randomAccess = ts.randomAccess;
                    pending.picture = Picture{part.globalStart + offset + i * kPacketSize, static_cast<int>(k),
                                              offset + i * kPacketSize, pes.pts, pes.dts, false};
                    pending.size = 0;
                    pending.packets = 1;
                    append(ts.payload + pes.dataOffset, ts.payloadSize - pes.dataOffset);
                } else if (pending.active && ts.payload != nullptr) {
                    append(ts.payload, ts.payloadSize);
                    ++pending.packets;
                }
                if (pending.active && (pending.packets >= 3 || pending.size >= kHeadBytes)) {
                    finish();
                    if (stop)
                        return {ScanEnd::Stopped, static_cast<int>(k)};
                }
            }
            if (got < want)
                return {ScanEnd::UnusablePart, static_cast<int>(k)};
            packet += count;
        }
    }
    finish();
    return {stop ? ScanEnd::Stopped : ScanEnd::EndOfStream, static_cast<int>(m_parts.size() - 1)};
}

bool RecordingClock::Impl::findSync(PartFile& part)
{
    std::array<std::uint8_t, 8 * kPacketSize> head{};
    const std::size_t got = readAt(part, 0, head.data(), static_cast<std::size_t>(std::min<std::uint64_t>(head.size(), part.size)));
    for (std::size_t sync = 0; sync < kPacketSize && sync < got; ++sync) {
        const std::size_t whole = (got - sync) / kPacketSize;
        if (whole == 0)
            break;
        const std::size_t needed = std::min<std::size_t>(whole, 5);
        std::size_t seen = 0;
        while (seen < needed && head[sync + seen * kPacketSize] == 0x47)
            ++seen;
        if (seen == needed) {
            part.sync = sync;
            part.packets = (part.size - sync) / kPacketSize;
            return true;
        }
    }
    return false;
}

bool RecordingClock::Impl::findVideoStream()
{
    const PartFile& part = m_parts.front();
    unsigned pmtPid = kNoPid;
    unsigned pesPid = kNoPid;
    std::vector<std::uint8_t> chunk(kChunkSize);
    const std::uint64_t end = std::min(part.packets, kTableSearchBytes / kPacketSize);
    for (std::uint64_t packet = 0; packet < end;) {
        const std::uint64_t want = std::min<std::uint64_t>(kChunkSize, (end - packet) * kPacketSize);
        const std::size_t got = readAt(part, part.sync + packet * kPacketSize, chunk.data(), static_cast<std::size_t>(want));
        const std::uint64_t count = got / kPacketSize;
        if (count == 0)
            break;
        for (std::uint64_t i = 0; i < count; ++i) {
            TsPacket ts;
            if (!ParsePacket(chunk.data() + i * kPacketSize, ts) || !ts.pusi || ts.payload == nullptr)
                continue;
            const std::uint8_t* p = ts.payload;
            const std::size_t n = ts.payloadSize;
            if (ts.pid == 0 || ts.pid == pmtPid) {
                // A section: pointer field, then table id and length; entries follow.
                const std::size_t at = 1 + std::size_t{p[0]};
                if (at + 8 > n)
                    continue;
                const std::uint8_t* s = p + at;
                const std::size_t sectionEnd = std::min(n, at + 3 + (((std::size_t{s[1]} & 0x0F) << 8) | s[2])) ;
                const std::size_t tableEnd = sectionEnd >= at + 4 ? sectionEnd - 4 : at;  // less the CRC
                if (ts.pid == 0 && s[0] == 0x00) {
                    for (std::size_t e = at + 8; e + 4 <= tableEnd; e += 4) {
                        const unsigned program = (unsigned{p[e]} << 8) | p[e + 1];
                        if (program != 0) {
                            pmtPid = ((unsigned{p[e + 2]} & 0x1F) << 8) | p[e + 3];
                            break;
                        }
                    }
                } else if (ts.pid == pmtPid && s[0] == 0x02 && at + 12 <= n) {
                    std::size_t e = at + 12 + (((std::size_t{s[10]} & 0x0F) << 8) | s[11]);
                    while (e + 5 <= tableEnd) {
                        const unsigned type = p[e];
                        const unsigned pid = ((unsigned{p[e + 1]} & 0x1F) << 8) | p[e + 2];
                        if (IsVideoStreamType(type)) {
                            m_videoPid = pid;
                            m_codec = type == 0x01 || type == 0x02 ? VideoCodec::Mpeg2
                                      : type == 0x1B               ? VideoCodec::H264
                                                                   : VideoCodec::Unknown;
                            m_keyCodec = m_codec;
                            return true;
                        }
                        e += 5 + (((std::size_t{p[e + 3]} & 0x0F) << 8) | p[e + 4]);
                    }
                }
            } else if (PesHead pes; pesPid == kNoPid && ParsePesHead(p, n, pes) && (pes.streamId & 0xF0) == 0xE0) {
                pesPid = ts.pid;
                m_keyCodec = GuessCodec(p + pes.dataOffset, n - pes.dataOffset);
            }
        }
        packet += count;
    }
    if (pesPid == kNoPid)
        return false;
    m_videoPid = pesPid;
    return true;
}

std::optional<Picture> RecordingClock::Impl::lastPicture()
{
    // With B pictures the last one sent is not the last one shown: the latest of the last few.
    std::vector<std::uint8_t> chunk(kChunkSize);
    std::vector<Picture> tail;
    int seen = 0;
    for (std::size_t k = m_parts.size(); k-- > 0;) {
        if (!ready(k))
            continue;
        const PartFile& part = m_parts[k];
        std::uint64_t endPacket = part.packets;
        for (std::uint64_t read = 0; endPacket > 0 && read < kProbeLimit && seen < kPicturesForFirstTime;) {
            const std::uint64_t count = std::min<std::uint64_t>(kChunkSize / kPacketSize, endPacket);
            const std::uint64_t first = endPacket - count;
            const std::uint64_t offset = part.sync + first * kPacketSize;
            const std::size_t got = readAt(part, offset, chunk.data(), static_cast<std::size_t>(count * kPacketSize));
            read += count * kPacketSize;
            for (std::uint64_t i = 0; i < got / kPacketSize; ++i) {
                TsPacket ts;
                PesHead pes;
                if (!ParsePacket(chunk.data() + i * kPacketSize, ts) || ts.pid != m_videoPid || !ts.pusi ||
                    ts.payload == nullptr || !ParsePesHead(ts.payload, ts.payloadSize, pes) || !pes.hasPts)
                    continue;
                ++seen;
                tail.push_back(Picture{part.globalStart + offset + i * kPacketSize, static_cast<int>(k),
                                       offset + i * kPacketSize, pes.pts, pes.dts, false});
            }
            endPacket = first;
        }
        if (!tail.empty())
            break;
    }
    if (tail.empty())
        return std::nullopt;
    // The one sent last decides which side of a jump counts.
    const Picture sentLast = *std::max_element(tail.begin(), tail.end(), [](const Picture& a, const Picture& b) {
        return a.global < b.global;
    });
    Picture latest = sentLast;
    for (const Picture& p : tail)
        if (std::abs(PtsDiff(p.pts, sentLast.pts)) <= kBackStep && PtsDiff(p.pts, latest.pts) > 0)
            latest = p;
    return latest;
}

bool RecordingClock::Impl::locateDiscontinuity(const Picture& from, const Picture& to, Picture& after)
{
    Picture lo = from;
    std::uint64_t hi = to.global;
    for (int step = 0; step < kBisectSteps && hi > lo.global + kBisectStop; ++step) {
        const std::uint64_t mid = lo.global + (hi - lo.global) / 2;
        const std::optional<Picture> p = firstPictureFrom(mid, hi - mid);
        if (!p || p->global >= hi)
            hi = mid;
        else if (plausibleStep(lo, *p))
            lo = *p;
        else
            hi = p->global + 1;
    }
    // From a little before `lo` on (the pictures sent just before it may be shown after it), the
    // first picture too far from the one before it starts the new stretch.
    const std::uint64_t start = lo.global - std::min(lo.global - from.global, kReorderBytes);
    std::optional<Picture> ref;
    std::int64_t refTime = 0;
    std::int64_t lastTime = 0;
    std::vector<std::uint64_t> before;
    std::optional<Picture> jump;
    std::vector<std::uint64_t> afterPts;
    Picture previous;
    const std::uint64_t limit = (hi - start) + kProbeLimit;
    scan(start, limit, [&](const Picture& p) {
        if (!ref) {
            ref = p;
            refTime = timeOf(p);
            lastTime = refTime;
            previous = p;
            before.push_back(p.pts);
            return true;
        }
        if (jump) {
            afterPts.push_back(p.pts);
            return afterPts.size() < kPicturesForFirstTime;
        }
        const std::int64_t d = PtsDiff(p.pts, previous.pts);
        if (d < -kBackStep || d > kForwardStep) {
            jump = p;
            afterPts.push_back(p.pts);
            return true;
        }
        lastTime = std::max(lastTime, refTime + PtsDiff(p.pts, ref->pts));
        if (before.size() < 64)
            before.push_back(p.pts);
        previous = p;
        return true;
    });
    if (!jump || jump->global <= m_segments.back().global)
        return false;
    std::uint64_t base = jump->pts;
    for (std::uint64_t pts : afterPts)
        if (PtsDiff(pts, base) < 0 && PtsDiff(pts, base) > -kBackStep)
            base = pts;
    // The time after the jump goes on one picture after the latest picture before it.
    std::vector<std::int64_t> rel;
    for (std::uint64_t pts : before)
        rel.push_back(PtsDiff(pts, ref->pts));
    std::sort(rel.begin(), rel.end());
    std::int64_t frame = 0;
    for (std::size_t i = 1; i < rel.size(); ++i)
        if (rel[i] > rel[i - 1] && (frame == 0 || rel[i] - rel[i - 1] < frame))
            frame = rel[i] - rel[i - 1];
    if (frame == 0)
        frame = kDefaultFrameTicks;
    m_segments.push_back(Segment{jump->global, base, lastTime + frame});
    after = *jump;
    after.pts = base;
    return true;
}

void RecordingClock::Impl::findJumps(std::size_t i, const Picture& a, std::size_t j, const Picture& b)
{
    if (plausibleStep(a, b))
        return;
    // The start of the part nearest the middle that has a picture between the two.
    const std::size_t mid = i + (j - i) / 2;
    for (std::size_t step = 0; j - i > 1 && step < 2 * (j - i); ++step) {
        const std::size_t k = step % 2 == 0 ? mid - step / 2 : mid + (step + 1) / 2;
        if (k <= i || k >= j)
            continue;
        const std::optional<Picture>& sample = firstOf(k);
        if (!sample || sample->global <= a.global || sample->global >= b.global)
            continue;
        const Picture middle = *sample;
        findJumps(i, a, k, middle);
        findJumps(k, middle, j, b);
        return;
    }
    Picture from = a;
    for (int n = 0; n < kDiscontinuitiesPerStretch && !plausibleStep(from, b); ++n) {
        Picture after;
        if (!locateDiscontinuity(from, b, after))
            break;
        from = after;
    }
}

void RecordingClock::Impl::buildSegments()
{
    const Picture first = *m_parts.front().first;
    std::optional<Picture> end = lastPicture();
    std::size_t endIndex = m_parts.size();
    if (!end || end->global <= first.global) {
        // No picture near the end: the start of the last part that has one ends the recording.
        end.reset();
        for (std::size_t k = m_parts.size(); k-- > 1 && !end;) {
            if (const std::optional<Picture>& p = firstOf(k); p && p->global > first.global) {
                end = p;
                endIndex = k;
            }
        }
    }
    if (!end) {
        m_durationTicks = 0;
        return;
    }
    findJumps(0, first, endIndex, *end);
    m_durationTicks = std::max<std::int64_t>(0, timeOf(*end));
}

std::string RecordingClock::Impl::open(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return "the recording has no part files.";
    for (std::size_t k = 0; k < paths.size(); ++k) {
        PartFile part;
        part.name = paths[k].substr(paths[k].find_last_of('/') + 1);
        part.fd.reset(::open(paths[k].c_str(), O_RDONLY | O_CLOEXEC));
        struct stat st {};
        if (!part.fd || ::fstat(part.fd.get(), &st) != 0)
            return "cannot read " + paths[k] + ": " + std::strerror(errno) + ".";
        part.size = static_cast<std::uint64_t>(st.st_size);
        part.globalStart = m_totalSize;
        m_totalSize += part.size;
        m_parts.push_back(std::move(part));
    }
    if (!ready(0))
        return partName(0) + " does not hold a transport stream.";
    if (!findVideoStream())
        return "the recording has no video stream in its first MiB.";

    // The first picture's time: the earliest of the first few pictures (B pictures come later).
    std::vector<Picture> firstOnes;
    scan(m_parts.front().globalStart, kProbeLimit, [&](const Picture& p) {
        firstOnes.push_back(p);
        return firstOnes.size() < kPicturesForFirstTime;
    });
    if (firstOnes.empty())
        return "the recording's video has no timestamps at its start.";
    std::uint64_t t0 = firstOnes.front().pts;
    for (const Picture& p : firstOnes)
        if (PtsDiff(p.pts, t0) < 0 && PtsDiff(p.pts, firstOnes.front().pts) > -kBackStep)
            t0 = p.pts;
    m_segments.push_back(Segment{0, t0, 0});
    m_parts.front().first = firstOnes.front();
    m_parts.front().probed = true;
    buildSegments();
    return {};
}

void RecordingClock::Impl::bracket(std::int64_t ticks, bool decode, std::uint64_t& lo, std::uint64_t& hi)
{
    lo = m_parts.front().sync;
    hi = m_totalSize;
    const Picture& first = *m_parts.front().first;
    if (allBefore(first, ticks, decode)) {
        lo = first.global;
    } else if (first.global > lo) {
        hi = first.global;
        return;
    }
    // Bisects over the parts: the start of part `a` lies before the time (or a is the first part),
    // that of part `b` does not (or b is the part count). Starts are read as the search needs them.
    // The first steps guess the part from the times at both ends, as broadcasts keep a steady
    // byte rate; the rest halve.
    std::size_t a = 0;
    std::size_t b = m_parts.size();
    std::int64_t timeA = 0;
    std::int64_t timeB = m_durationTicks;
    const std::int64_t margin = decode ? kDecodeMargin : kReorderMargin;
    for (int guesses = 0; b - a > 1; ++guesses) {
        std::size_t mid = a + (b - a) / 2;
        if (guesses < kGuessedSteps && timeB > timeA) {
            const double share = static_cast<double>(ticks - margin - timeA) / static_cast<double>(timeB - timeA);
            const double guess = static_cast<double>(a) + std::clamp(share, 0.0, 1.0) * static_cast<double>(b - a);
            mid = std::clamp(static_cast<std::size_t>(guess), a + 1, b - 1);
        }
        // The part nearest the middle whose start has a picture.
        std::optional<std::size_t> k;
        for (std::size_t step = 0; step < 2 * (b - a) && !k; ++step) {
            const std::size_t c = step % 2 == 0 ? mid - step / 2 : mid + (step + 1) / 2;
            if (c > a && c < b && firstOf(c) && firstOf(c)->global > lo && firstOf(c)->global < hi)
                k = c;
        }
        if (!k)
            return;
        const Picture& p = *m_parts[*k].first;
        if (allBefore(p, ticks, decode)) {
            a = *k;
            lo = p.global;
            timeA = timeOf(p);
        } else {
            b = *k;
            hi = p.global;
            timeB = timeOf(p);
        }
    }
}

std::uint64_t RecordingClock::Impl::bisect(std::int64_t ticks, bool decode)
{
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
    bracket(ticks, decode, lo, hi);
    for (int step = 0; step < kBisectSteps && hi > lo + kBisectStop; ++step) {
        const std::uint64_t mid = lo + (hi - lo) / 2;
        const std::optional<Picture> p = firstPictureFrom(mid, hi - mid);
        if (p && p->global < hi && allBefore(*p, ticks, decode))
            lo = p->global;
        else
            hi = mid;
    }
    return lo;
}

RecordingClock::RecordingClock() : m_impl(std::make_unique<Impl>()) {}
RecordingClock::~RecordingClock() = default;
RecordingClock::RecordingClock(RecordingClock&&) noexcept = default;
RecordingClock& RecordingClock::operator=(RecordingClock&&) noexcept = default;

std::string RecordingClock::open(const std::vector<std::string>& partPaths)
{
    m_impl = std::make_unique<Impl>();
    std::string problem = m_impl->open(partPaths);
    if (!problem.empty()) {
        m_impl->m_codec = VideoCodec::Unknown;
        m_impl->m_durationTicks = 0;
    }
    m_impl->m_problem = problem;
    return problem;
}

VideoCodec RecordingClock::codec() const { return m_impl->m_codec; }

double RecordingClock::duration() const
{
    return static_cast<double>(m_impl->m_durationTicks) / kTicksPerSecond;
}

double RecordingClock::partStart(int part) const
{
    // Reads the part's start the first time it is asked for: the clock's state changes, the answer
    // does not.
    Impl& d = *m_impl;
    if (!d.m_problem.empty() || part <= 0 || static_cast<std::size_t>(part) >= d.m_parts.size())
        return 0;
    // A part without a picture of its own starts where the one before it does.
    for (auto k = static_cast<std::size_t>(part); k > 0; --k)
        if (const std::optional<Picture>& first = d.firstOf(k))
            return static_cast<double>(std::max<std::int64_t>(0, d.timeOf(*first))) / kTicksPerSecond;
    return 0;  // the first part starts at the first picture
}

KeyFrameSearch RecordingClock::keyFrameAtOrAfter(double seconds)
{
    Impl& d = *m_impl;
    KeyFrameSearch result;
    const std::optional<std::int64_t> asked = d.ticksAsked(seconds, result);
    if (!asked)
        return result;
    const std::int64_t ticks = *asked;
    if (ticks > d.m_durationTicks) {
        result.kind = KeyFrameSearch::Kind::End;
        return result;
    }
    std::optional<Picture> found;
    std::int64_t foundTime = 0;
    bool gap = false;
    const Impl::ScanResult scan = d.scan(d.bisect(ticks, true), kScanLimit, [&](const Picture& p) {
        const std::int64_t t = d.timeOf(p);
        if (p.key && t >= ticks) {
            found = p;
            foundTime = t;
            return false;
        }
        if (t > ticks + kKeyFrameGap) {
            gap = true;
            return false;
        }
        return true;
    });
    if (found) {
        result.kind = KeyFrameSearch::Kind::Found;
        result.position = Impl::positionOf(*found, foundTime);
    } else if (gap) {
        result.problem = "the video has no key frame within 30 seconds after that time.";
    } else if (scan.end == Impl::ScanEnd::Limit) {
        result.problem = "the video has no key frame in the 128 MiB after that time.";
    } else if (scan.end == Impl::ScanEnd::UnusablePart) {
        result.problem = d.unusablePart(scan.part);
    } else {
        result.kind = KeyFrameSearch::Kind::End;
    }
    return result;
}

KeyFrameSearch RecordingClock::pictureAt(double seconds)
{
    Impl& d = *m_impl;
    KeyFrameSearch result;
    const std::optional<std::int64_t> asked = d.ticksAsked(seconds, result);
    if (!asked)
        return result;
    const std::int64_t ticks = *asked;
    std::optional<Picture> best;
    std::optional<Picture> earliest;
    std::int64_t bestTime = 0;
    std::int64_t earliestTime = 0;
    const Impl::ScanResult scan = d.scan(d.bisect(ticks, false), kScanLimit, [&](const Picture& p) {
        const std::int64_t t = d.timeOf(p);
        if (t <= ticks && (!best || t > bestTime)) {
            best = p;
            bestTime = t;
        }
        if (!earliest || t < earliestTime) {
            earliest = p;
            earliestTime = t;
        }
        return t <= ticks + kReorderMargin;
    });
    if (!best && earliest && ticks < earliestTime) {
        best = earliest;  // before the first picture: the first one
        bestTime = earliestTime;
    }
    if (best) {
        result.kind = KeyFrameSearch::Kind::Found;
        result.position = Impl::positionOf(*best, bestTime);
    } else if (scan.end == Impl::ScanEnd::UnusablePart) {
        result.problem = d.unusablePart(scan.part);
    } else if (scan.end == Impl::ScanEnd::Limit) {
        result.problem = "the video's timestamps do not reach that time.";
    } else {
        result.kind = KeyFrameSearch::Kind::End;
    }
    return result;
}

std::uint64_t RecordingClock::bytesRead() const { return m_impl->m_bytesRead; }

}  // namespace vmx
