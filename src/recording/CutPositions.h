#pragma once

#include "recording/Cut.h"
#include "recording/Timing.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vmx {

// The part files of a recording laid end to end: the byte space the cut's positions live in.
struct PartLayout {
    std::vector<std::string> paths;
    std::vector<std::uint64_t> sizes;

    std::uint64_t base(int part) const;  // offset of the part's first byte
    std::uint64_t total() const;
};

// A stretch to remove, in that byte space: [first, end).
struct ByteStretch {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
};

// Sorts the stretches and merges those that overlap or touch. Empty, or the sentence refusing them
// (a stretch that ends before it starts, or a negative time).
std::string MergeStretches(std::vector<CutStretch>& stretches);

// Places each stretch of `stretches` (merged) in the recording: with the stream's clock, from the
// key frame at or after its start to the key frame at or after its end (a start at 0 from the
// first byte, an end at or after `timing.duration` or after the last key frame to the last
// byte); where the stream has no usable timestamps, or with CutPositioning::ByteRate, the mark's
// place by the recording's average byte rate. Stretches that end up empty are dropped; what is
// left is merged again. `notes` gets one sentence per mark placed by the byte rate instead of the
// clock. `cancelled` is asked between the searches; true stops the placing. Empty, or the sentence
// refusing the cut.
struct PlacedStretches {
    std::vector<PlannedStretch> planned;  // with the times; the bytes are filled by DescribeBytes
    std::vector<ByteStretch> bytes;
    std::vector<std::string> notes;
    std::uint64_t bytesRead = 0;  // what the searches read
    std::string clockProblem;     // why the stream has no usable clock at all (empty when it has one)
};
std::string PlaceStretches(const PartLayout& layout, const TimingEntry& timing, std::vector<CutStretch> stretches,
                           CutPositioning positioning, const std::function<bool()>& cancelled,
                           PlacedStretches& placed);

// The note a cut shows when the stream has no usable clock and the byte rate places its marks.
std::string NoClockNote(const std::string& problem);

// What the byte stretches do to each part: whole parts that go, and packet ranges replaced by
// filler in the parts that stay (several per part when several stretches fall in it).
struct PartEdits {
    struct Trim {
        int part = 0;
        PacketRange packets;
    };
    std::vector<Trim> trims;
    std::vector<bool> removed;  // per part
    bool anyRemoved() const;
};
PartEdits EditsOf(const PartLayout& layout, const std::vector<ByteStretch>& bytes);

// Fills each planned stretch's `bytes`: the part files and byte ranges its cut replaces or removes.
void DescribeBytes(const PartLayout& layout, PlacedStretches& placed);

}  // namespace vmx
