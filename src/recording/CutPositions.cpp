#include "recording/CutPositions.h"

#include "recording/RecordingClock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vmx {

namespace {

std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

// Where a mark lies by the recording's average byte rate: whole seconds into the part that
// `seconds per full part` puts it in, times the byte rate of a full part, on a packet boundary (a
// start takes the next packet, an end the packet after the one the byte falls in, as the cut by
// the byte rate has always done). False when the recording has no seconds per full part.
bool byteRatePosition(const PartLayout& layout, const TimingEntry& timing, double mark, bool isEnd,
                      std::uint64_t& position)
{
    const std::uint32_t p = timing.secondsPerPart;
    if (p == 0 || layout.sizes.empty())
        return false;
    const auto seconds = static_cast<std::uint64_t>(std::max(0.0, mark));
    const std::uint64_t last = layout.sizes.size() - 1;
    const std::uint64_t index = std::min<std::uint64_t>(seconds / p, last);
    const auto byteRate = static_cast<std::uint64_t>(std::ceil(static_cast<double>(kFullPartSize) / p));
    const std::uint64_t byte = (seconds - index * p) * byteRate;
    const std::uint64_t packet = isEnd ? byte / kPacketSize + 1 : (byte + kPacketSize - 1) / kPacketSize;
    const std::uint64_t size = layout.sizes[static_cast<std::size_t>(index)];
    position = layout.base(static_cast<int>(index)) + std::min<std::uint64_t>(packet * kPacketSize, size);
    return true;
}

// One mark placed: its byte position and the time the cut lands on.
struct Placed {
    enum class Kind { At, Nothing } kind = Kind::At;  // Nothing: no key frame follows a start mark
    std::uint64_t position = 0;
    double seconds = 0;
    bool exact = true;
};

}  // namespace

std::string NoClockNote(const std::string& problem)
{
    return "The recording's stream has no usable timestamps (" + problem +
           "); its average byte rate places the marks.";
}

std::uint64_t PartLayout::base(int part) const
{
    std::uint64_t offset = 0;
    for (int k = 0; k < part && k < static_cast<int>(sizes.size()); ++k)
        offset += sizes[static_cast<std::size_t>(k)];
    return offset;
}

std::uint64_t PartLayout::total() const
{
    return base(static_cast<int>(sizes.size()));
}

bool PartEdits::anyRemoved() const
{
    return std::find(removed.begin(), removed.end(), true) != removed.end();
}

std::string MergeStretches(std::vector<CutStretch>& stretches)
{
    for (const CutStretch& s : stretches) {
        if (!(s.start >= 0) || !(s.end >= 0) || !std::isfinite(s.start) || !std::isfinite(s.end))
            return "A mark lies before the start of the recording.";
        if (!(s.start < s.end))
            return "The start mark must lie before the end mark.";
    }
    std::sort(stretches.begin(), stretches.end(),
              [](const CutStretch& a, const CutStretch& b) { return a.start < b.start; });
    std::vector<CutStretch> merged;
    for (const CutStretch& s : stretches) {
        if (!merged.empty() && s.start <= merged.back().end)
            merged.back().end = std::max(merged.back().end, s.end);
        else
            merged.push_back(s);
    }
    stretches = std::move(merged);
    return {};
}

std::string PlaceStretches(const PartLayout& layout, const TimingEntry& timing, std::vector<CutStretch> stretches,
                           CutPositioning positioning, const std::function<bool()>& cancelled,
                           PlacedStretches& placed)
{
    placed = PlacedStretches{};
    if (std::string refusal = MergeStretches(stretches); !refusal.empty())
        return refusal;
    RecordingClock clock;
    bool clockUsable = false;
    if (positioning == CutPositioning::StreamClock) {
        placed.clockProblem = clock.open(layout.paths);
        clockUsable = placed.clockProblem.empty();
        if (!clockUsable)
            placed.notes.push_back(NoClockNote(placed.clockProblem));
    }
    const auto byRate = [&](double mark, bool isEnd, Placed& at) {
        at.exact = false;
        at.seconds = mark;
        return byteRatePosition(layout, timing, mark, isEnd, at.position);
    };
    // A mark the clock could not place is placed by the byte rate, and said so.
    const auto place = [&](double mark, bool isEnd, Placed& at) -> std::string {
        const std::uint64_t total = layout.total();
        if (!isEnd && mark <= 0) {
            at = Placed{};
            return {};
        }
        if (isEnd && mark >= static_cast<double>(timing.duration)) {
            at.position = total;
            at.seconds = mark;
            return {};
        }
        if (clockUsable) {
            const KeyFrameSearch found = clock.keyFrameAtOrAfter(mark);
            switch (found.kind) {
            case KeyFrameSearch::Kind::Found:
                // The filler replaces whole packets counted from a part's first byte.
                if (found.position.offset % kPacketSize == 0) {
                    at.position = layout.base(found.position.part) + found.position.offset;
                    at.seconds = found.position.seconds;
                    return {};
                }
                placed.notes.push_back("The part file " + layout.paths[static_cast<std::size_t>(found.position.part)] +
                                       " does not begin on a packet boundary; the average byte rate places the " +
                                       (isEnd ? "end" : "start") + " mark " + secondsText(mark) + ".");
                break;
            case KeyFrameSearch::Kind::End:
                if (isEnd) {
                    at.position = total;
                    at.seconds = mark;
                } else {
                    at.kind = Placed::Kind::Nothing;
                }
                return {};
            case KeyFrameSearch::Kind::Unusable:
                placed.notes.push_back("No usable timestamps at the " + std::string(isEnd ? "end" : "start") +
                                       " mark " + secondsText(mark) + " (" + found.problem +
                                       "); the average byte rate places it.");
                break;
            }
        }
        if (!byRate(mark, isEnd, at))
            return "This recording cannot be cut: its duration is too short for the size of its part files.";
        return {};
    };

    for (const CutStretch& s : stretches) {
        if (cancelled && cancelled())
            return "The cut was cancelled. Nothing was changed.";
        Placed from;
        Placed to;
        if (std::string refusal = place(s.start, false, from); !refusal.empty())
            return refusal;
        if (from.kind == Placed::Kind::Nothing)
            continue;  // no picture to cut at or after the start mark
        if (std::string refusal = place(s.end, true, to); !refusal.empty())
            return refusal;
        if (from.position >= to.position)
            continue;  // both marks moved to the same key frame
        PlannedStretch planned;
        planned.marks = s;
        planned.cut = {from.seconds, to.seconds};
        planned.startExact = from.exact;
        planned.endExact = to.exact;
        // Marks moved to key frames can make stretches meet.
        if (!placed.bytes.empty() && from.position <= placed.bytes.back().end) {
            ByteStretch& last = placed.bytes.back();
            PlannedStretch& lastPlanned = placed.planned.back();
            if (to.position > last.end) {
                last.end = to.position;
                lastPlanned.cut.end = planned.cut.end;
                lastPlanned.endExact = planned.endExact;
            }
            lastPlanned.marks.end = std::max(lastPlanned.marks.end, s.end);
            continue;
        }
        placed.planned.push_back(planned);
        placed.bytes.push_back({from.position, to.position});
    }
    placed.bytesRead = clock.bytesRead();
    if (placed.bytes.empty())
        return "Nothing lies between the marks to cut: the key frames at or after them are the same picture.";
    if (placed.bytes.size() == 1 && placed.bytes[0].first == 0 && placed.bytes[0].end >= layout.total())
        return "The marks span the whole recording, so nothing would be left; delete the recording instead.";
    return {};
}

PartEdits EditsOf(const PartLayout& layout, const std::vector<ByteStretch>& bytes)
{
    PartEdits edits;
    edits.removed.assign(layout.sizes.size(), false);
    std::uint64_t base = 0;
    for (std::size_t k = 0; k < layout.sizes.size(); ++k) {
        const std::uint64_t size = layout.sizes[k];
        const std::uint64_t end = base + size;
        for (const ByteStretch& s : bytes) {
            const std::uint64_t first = std::max(s.first, base);
            const std::uint64_t last = std::min(s.end, end);
            if (first >= last)
                continue;
            if (first == base && last == end) {
                edits.removed[k] = true;
                continue;
            }
            const std::uint64_t from = first - base;
            const std::uint64_t to = last - base;
            edits.trims.push_back({static_cast<int>(k),
                                   {static_cast<std::int64_t>(from / kPacketSize),
                                    static_cast<std::int64_t>((to + kPacketSize - 1) / kPacketSize) - 1}});
        }
        base = end;
    }
    return edits;
}

void DescribeBytes(const PartLayout& layout, PlacedStretches& placed)
{
    for (std::size_t i = 0; i < placed.bytes.size() && i < placed.planned.size(); ++i) {
        const ByteStretch& s = placed.bytes[i];
        std::vector<PlannedStretch::Bytes>& out = placed.planned[i].bytes;
        out.clear();
        std::uint64_t base = 0;
        for (std::size_t k = 0; k < layout.sizes.size(); ++k) {
            const std::uint64_t end = base + layout.sizes[k];
            const std::uint64_t first = std::max(s.first, base);
            const std::uint64_t last = std::min(s.end, end);
            if (first < last)
                out.push_back({layout.paths[k], first - base, last - base, first == base && last == end});
            base = end;
        }
    }
}

}  // namespace vmx
