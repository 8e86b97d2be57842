#pragma once

#include "recording/RecordDetails.h"
#include "recording/RecordingClock.h"

#include <optional>
#include <string>

namespace vmx {

// The two marks of the mark bar, in time order.
enum class MarkRole { Start, End };

// The label under the player while a mark is shown: "Start 12.3 s", "End 20.0 s".
std::string MarkLabelText(MarkRole role, double seconds);

// The length of one picture at the frame rate the player reports; 25 pictures a second when it
// reports none (or nothing sensible).
double PictureSeconds(std::optional<double> framesPerSecond);

// A mark moved by `step` seconds (negative: back), kept inside 0 .. duration.
double StepMark(double value, double step, double duration);

// A picture's place for the player: the part file and the seconds into it.
struct FramePlace {
    int part = 0;
    double seconds = 0;
};

// Where the times of one recording lie in its part files. It reads the recording's own clock
// (the stream's timestamps) the first time a place is asked for and keeps it while the same
// recording stays selected; a recording whose stream has no usable clock is placed by its average
// seconds per part.
class RecordingTimeline {
public:
    // The recording the places are asked for; the clock of another recording is let go.
    void select(const RecordDetails& details);
    // No recording: nothing is placed.
    void clear();
    bool hasRecording() const { return m_details.has_value(); }
    const RecordDetails* recording() const { return m_details ? &*m_details : nullptr; }

    // The part and the seconds into it of the picture at `seconds` of the recording; nothing when
    // the recording cannot be placed (no parts, nothing measured).
    std::optional<FramePlace> placeOf(double seconds);
    // The time in the recording of `secondsInPart` seconds into part `part`.
    double timeOf(int part, double secondsInPart);
    // True when the stream's clock places the times (false: the average, or not opened yet).
    bool usesClock() const { return m_clockOpen; }

private:
    void openClock();

    std::optional<RecordDetails> m_details;
    std::optional<RecordingClock> m_clock;
    bool m_clockTried = false;
    bool m_clockOpen = false;
};

}  // namespace vmx
