#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vmx {

// The video of a recording, as its program map names it.
enum class VideoCodec { Unknown, Mpeg2, H264 };

// A place in a recording's stream: the part file, the byte offset of a transport packet in it
// (a multiple of 188) and the presentation time of the picture that starts there, in seconds after
// the recording's first picture.
struct StreamPosition {
    int part = 0;
    std::uint64_t offset = 0;
    double seconds = 0;
};

// What a search for a key frame found.
struct KeyFrameSearch {
    enum class Kind {
        Found,      // `position` is the key frame at or after the time asked for
        End,        // no key frame starts at or after that time: the stretch runs to the end
        Unusable,   // the stream has no usable timestamps there (`problem` says what was wrong)
    };
    Kind kind = Kind::Unusable;
    StreamPosition position;
    std::string problem;
};

// The recording's own clock: the transport stream's timestamps, read from its part files as one
// stream. Times are presentation times of video pictures counted from the recording's first
// picture, so that a time means the picture the player shows at that time. The clock copes with
// what broadcasts do: a first timestamp anywhere in the 33-bit range, wrap-around, a discontinuity
// (the time after one continues from the time before it), a part that starts in the middle of a
// picture. It bisects on sampled pictures and reads a part's start only where a search, or the
// check for discontinuities, needs it; it never reads whole parts.
class RecordingClock {
public:
    RecordingClock();
    ~RecordingClock();
    RecordingClock(RecordingClock&&) noexcept;
    RecordingClock& operator=(RecordingClock&&) noexcept;

    // Opens the part files (record order) and reads what every search needs: the program's video
    // stream and codec, the first picture's time, the last one, and the discontinuities between
    // them, found from the starts of the parts that lie between two samples whose step is not
    // plausible, halving.
    // Empty, or the sentence saying why the stream has no usable clock (then use the byte rate).
    [[nodiscard]] std::string open(const std::vector<std::string>& partPaths);

    VideoCodec codec() const;
    // Seconds from the first picture to the last one.
    double duration() const;
    // The time of the first picture of part `part` (0 for the first part). Reads the part's start
    // the first time it is asked for.
    double partStart(int part) const;
    // The key frame (MPEG-2: a sequence header or a random-access point; H.264: an IDR picture or
    // a sequence parameter set) whose presentation time is at or after `seconds`, the position of
    // the first transport packet of its picture.
    KeyFrameSearch keyFrameAtOrAfter(double seconds);
    // The part and the offset in it of the picture at `seconds` (the last one starting at or
    // before it), for the player.
    KeyFrameSearch pictureAt(double seconds);
    // Bytes read from the part files since open() began: the cost of the searches.
    std::uint64_t bytesRead() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace vmx
