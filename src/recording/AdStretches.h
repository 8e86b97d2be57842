#pragma once

#include <string>
#include <vector>

namespace vmx {

// A stretch of a recording, in seconds from its first picture.
struct TimeSpan {
    double start = 0;
    double end = 0;
};

// One look at the corner where the channel's logo stands.
struct LogoSample {
    double seconds = 0;
    bool present = false;
};

// From `seconds` on, the stream's pictures and sound have the format `format` (the picture's shape
// and the sound's channels, rate and codec, as one text).
struct FormatMark {
    double seconds = 0;
    std::string format;
};

// What was measured of a recording: the signals advertising blocks leave.
struct AdSignals {
    double duration = 0;             // from the first picture to the last one
    std::vector<TimeSpan> black;     // stretches of black pictures, in time order
    std::vector<TimeSpan> silence;   // stretches of silent sound, in time order
    bool hasAudio = true;            // false: black pictures alone separate blocks
    bool logoFound = false;          // a channel logo was found: `logo` says when it shows
    std::vector<LogoSample> logo;    // in time order
    std::vector<FormatMark> formats;  // in time order; the first holds from the start
};

// The limits on what is proposed, in seconds.
struct AdSettings {
    double minBlock = 10;        // shorter blocks are not proposed
    double maxBlock = 600;       // nor longer ones
    double minProgramme = 20;    // programme shorter than this between two blocks joins them
};

// A proposed block of advertising; `score` runs from 0 (a guess) to 1 (every signal agrees).
struct AdStretch {
    double start = 0;
    double end = 0;
    double score = 0;
};

// The blocks of advertising the signals point to, in time order, not overlapping.
//
// Where the pictures turn black while the sound falls silent, one block ends or begins (a
// separator). Separators that follow each other at most kMaxSpotLength apart frame spots of one
// block. Where a channel logo was found, the stretches without it are blocks, their ends moved to
// a separator or a change of format close by; where it shows for at least settings.minProgramme
// there is programme, which parts a block there in two; and a block during which the logo mostly
// shows is programme after all. Stretches in a format other than the one most of the recording has
// (another picture shape, other sound) are blocks too. Each block is scored by how many of these
// signals agree on it; weak ones are dropped, blocks separated by less programme than
// settings.minProgramme are joined, and what is then shorter than settings.minBlock or longer
// than settings.maxBlock is not proposed.
std::vector<AdStretch> ProposeAdStretches(const AdSignals& measured, const AdSettings& settings = {});

// The longest spot of advertising that separators frame.
inline constexpr double kMaxSpotLength = 90;

}  // namespace vmx
