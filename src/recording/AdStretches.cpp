#include "recording/AdStretches.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace vmx {

namespace {

// Black pictures and silence this far apart still make one separator: the sound of a block may
// fall silent a little before or after its last picture.
constexpr double kPairSlack = 0.3;
// Separators closer than this are one.
constexpr double kSeparatorJoin = 1.0;
// How far the end of a block that the logo or the format found moves to a separator.
constexpr double kSnap = 3.0;
// How close to a block's end a separator counts as marking it.
constexpr double kNear = 1.5;
// How close to black pictures a block's end counts as among them.
constexpr double kBlackSlack = 0.1;
// Blocks scored below this are not proposed.
constexpr double kMinScore = 0.5;
// How much each signal weighs when it holds for the whole block.
constexpr double kSeparatorWeight = 0.8;
constexpr double kLogoWeight = 0.9;
constexpr double kFormatWeight = 0.6;
// Looks at the logo around each one that decide whether it shows (a median): a dark scene or
// a spot's own corner picture does not end or begin a block.
constexpr std::size_t kLogoMedian = 5;

double Mid(const TimeSpan& span)
{
    return (span.start + span.end) / 2;
}

// The stretches where black pictures and silence meet (or, without sound, the black ones).
std::vector<TimeSpan> Separators(const AdSignals& signals)
{
    std::vector<TimeSpan> found;
    if (!signals.hasAudio) {
        found = signals.black;
    } else {
        for (const TimeSpan& black : signals.black)
            for (const TimeSpan& quiet : signals.silence) {
                if (quiet.start > black.end + kPairSlack || quiet.end < black.start - kPairSlack)
                    continue;
                const double start = std::max(black.start, quiet.start), end = std::min(black.end, quiet.end);
                found.push_back(start <= end ? TimeSpan{start, end} : TimeSpan{end, start});
            }
    }
    std::sort(found.begin(), found.end(), [](const TimeSpan& a, const TimeSpan& b) { return a.start < b.start; });
    std::vector<TimeSpan> joined;
    for (const TimeSpan& span : found) {
        if (!joined.empty() && span.start <= joined.back().end + kSeparatorJoin)
            joined.back().end = std::max(joined.back().end, span.end);
        else
            joined.push_back(span);
    }
    return joined;
}

// The middle of the separator nearest to `seconds` within `reach`, or `seconds` itself.
double NearestSeparator(const std::vector<TimeSpan>& separators, double seconds, double reach, bool* found = nullptr)
{
    double best = seconds, distance = reach;
    bool any = false;
    for (const TimeSpan& span : separators) {
        const double d = std::abs(Mid(span) - seconds);
        if (d <= distance) {
            distance = d;
            best = Mid(span);
            any = true;
        }
    }
    if (found)
        *found = any;
    return best;
}

// Separators at most kMaxSpotLength apart frame the spots of one block: each run of two or
// more is a block from its first to its last.
void AddSeparatorChains(const std::vector<TimeSpan>& separators, std::vector<TimeSpan>& blocks)
{
    for (std::size_t first = 0; first < separators.size();) {
        std::size_t last = first;
        while (last + 1 < separators.size() && Mid(separators[last + 1]) - Mid(separators[last]) <= kMaxSpotLength)
            ++last;
        if (last > first)
            blocks.push_back({Mid(separators[first]), Mid(separators[last])});
        first = last + 1;
    }
}

// Whether the logo shows at each look, each decided by the looks around it.
std::vector<bool> SmoothedLogo(const std::vector<LogoSample>& samples)
{
    std::vector<bool> shown(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::size_t from = i >= kLogoMedian / 2 ? i - kLogoMedian / 2 : 0;
        const std::size_t to = std::min(samples.size(), i + kLogoMedian / 2 + 1);
        std::size_t present = 0;
        for (std::size_t j = from; j < to; ++j)
            present += samples[j].present ? 1u : 0u;
        shown[i] = 2 * present > to - from;
    }
    return shown;
}

// The stretches without the logo; each end halfway between the looks on either side of it.
std::vector<TimeSpan> LogoGaps(const std::vector<LogoSample>& samples, const std::vector<bool>& shown, double duration)
{
    std::vector<TimeSpan> gaps;
    for (std::size_t i = 0; i < samples.size();) {
        if (shown[i]) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j + 1 < samples.size() && !shown[j + 1])
            ++j;
        const double start = i == 0 ? 0 : (samples[i - 1].seconds + samples[i].seconds) / 2;
        const double end = j + 1 == samples.size() ? duration : (samples[j].seconds + samples[j + 1].seconds) / 2;
        gaps.push_back({start, end});
        i = j + 1;
    }
    return gaps;
}

// The format most of the recording has, and the stretch each mark holds for.
struct Formats {
    std::string main;
    std::vector<std::pair<TimeSpan, std::string>> stretches;
};

Formats FormatsOf(const AdSignals& signals)
{
    Formats formats;
    std::map<std::string, double> lengths;
    for (std::size_t i = 0; i < signals.formats.size(); ++i) {
        const double start = i == 0 ? 0 : signals.formats[i].seconds;
        const double end = i + 1 < signals.formats.size() ? signals.formats[i + 1].seconds : signals.duration;
        if (end <= start)
            continue;
        formats.stretches.push_back({{start, end}, signals.formats[i].format});
        lengths[signals.formats[i].format] += end - start;
    }
    double longest = -1;
    for (const auto& [format, length] : lengths)
        if (length > longest) {
            longest = length;
            formats.main = format;
        }
    return formats;
}

double Overlap(const TimeSpan& a, const TimeSpan& b)
{
    return std::max(0.0, std::min(a.end, b.end) - std::max(a.start, b.start));
}

}  // namespace

std::vector<AdStretch> ProposeAdStretches(const AdSignals& signals, const AdSettings& settings)
{
    const std::vector<TimeSpan> separators = Separators(signals);
    const Formats formats = FormatsOf(signals);
    const std::vector<bool> shown = SmoothedLogo(signals.logo);
    std::vector<TimeSpan> logoGaps = LogoGaps(signals.logo, shown, signals.duration);
    // A logo that never stays away as long as a block tells nothing about blocks.
    double absent = 0;
    for (const TimeSpan& gap : logoGaps)
        absent = std::max(absent, gap.end - gap.start);
    const bool logoTells = signals.logoFound && !signals.logo.empty() && absent >= settings.minBlock;

    // Where the logo is looked for seldom (at key frames a few seconds apart), where it comes and
    // goes is known the less exactly: its blocks' ends move to a separator from further away.
    std::vector<double> steps;
    for (std::size_t i = 1; i < signals.logo.size(); ++i)
        steps.push_back(signals.logo[i].seconds - signals.logo[i - 1].seconds);
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2), steps.end());
    const double logoReach = kSnap + (steps.empty() ? 0 : 2 * steps[steps.size() / 2]);

    // Where a change of format lies close to a block's end and no separator does, the end moves there.
    const auto snap = [&](double seconds, double reach = kSnap) {
        bool found = false;
        const double at = NearestSeparator(separators, seconds, reach, &found);
        if (found)
            return at;
        double best = seconds, distance = kSnap;
        for (std::size_t i = 1; i < signals.formats.size(); ++i)
            if (std::abs(signals.formats[i].seconds - seconds) <= distance) {
                distance = std::abs(signals.formats[i].seconds - seconds);
                best = signals.formats[i].seconds;
            }
        return best;
    };

    std::vector<TimeSpan> blocks;
    AddSeparatorChains(separators, blocks);
    if (logoTells)
        for (const TimeSpan& gap : logoGaps)
            blocks.push_back({snap(gap.start, logoReach), snap(gap.end, logoReach)});
    for (const auto& [span, format] : formats.stretches)
        if (format != formats.main)
            blocks.push_back({snap(span.start), snap(span.end)});

    // Overlapping blocks are one.
    std::sort(blocks.begin(), blocks.end(), [](const TimeSpan& a, const TimeSpan& b) { return a.start < b.start; });
    std::vector<TimeSpan> merged;
    for (TimeSpan block : blocks) {
        block.start = std::max(0.0, block.start);
        block.end = std::min(signals.duration, block.end);
        if (block.end <= block.start)
            continue;
        if (!merged.empty() && block.start <= merged.back().end)
            merged.back().end = std::max(merged.back().end, block.end);
        else
            merged.push_back(block);
    }
    // Where the logo shows as long as programme between blocks lasts at least, there is
    // programme: separators on either side of it frame two blocks, not one.
    if (logoTells) {
        std::vector<TimeSpan> programme;
        double from = 0;
        for (const TimeSpan& gap : logoGaps) {
            if (gap.start - from >= settings.minProgramme)
                programme.push_back({from, gap.start});
            from = gap.end;
        }
        if (signals.duration - from >= settings.minProgramme)
            programme.push_back({from, signals.duration});
        std::vector<TimeSpan> pieces;
        for (TimeSpan block : merged) {
            for (const TimeSpan& run : programme) {
                if (run.end <= block.start || run.start >= block.end)
                    continue;
                if (run.start > block.start)
                    pieces.push_back({block.start, snap(run.start)});
                block.start = snap(run.end);
            }
            if (block.end > block.start)
                pieces.push_back(block);
        }
        merged.clear();
        for (const TimeSpan& piece : pieces)
            if (piece.end > piece.start)
                merged.push_back(piece);
    }

    // Each block scored by the signals that agree on it.
    std::vector<AdStretch> scored;
    for (const TimeSpan& block : merged) {
        const double length = block.end - block.start;
        if (length < settings.minBlock / 2)
            continue;  // a dark scene, a fade: too short to be part of a block
        bool atStart = false, atEnd = false;
        (void)NearestSeparator(separators, block.start, kNear, &atStart);
        (void)NearestSeparator(separators, block.end, kNear, &atEnd);
        const double bySeparators = ((atStart ? 1 : 0) + (atEnd ? 1 : 0)) / 2.0;
        double byLogo = 0;
        if (logoTells) {
            std::size_t looks = 0, without = 0;
            for (std::size_t i = 0; i < signals.logo.size(); ++i)
                if (signals.logo[i].seconds >= block.start && signals.logo[i].seconds <= block.end) {
                    ++looks;
                    without += shown[i] ? 0u : 1u;
                }
            byLogo = looks ? static_cast<double>(without) / static_cast<double>(looks) : 0;
            if (looks && 2 * without < looks)
                continue;  // the logo shows through most of it: programme
        }
        double otherFormat = 0;
        for (const auto& [span, format] : formats.stretches)
            if (format != formats.main)
                otherFormat += Overlap(span, block);
        const double byFormat = otherFormat / length;
        const double score = 1 - (1 - kSeparatorWeight * bySeparators) * (1 - kLogoWeight * byLogo) *
                                     (1 - kFormatWeight * byFormat);
        if (score >= kMinScore)
            scored.push_back({block.start, block.end, score});
    }

    // Blocks with little programme between them are one; its score weighs theirs by length.
    std::vector<AdStretch> joined;
    for (const AdStretch& block : scored) {
        if (!joined.empty() && block.start - joined.back().end < settings.minProgramme) {
            AdStretch& last = joined.back();
            const double a = last.end - last.start, b = block.end - block.start;
            last.score = (last.score * a + block.score * b) / (a + b);
            last.end = block.end;
        } else {
            joined.push_back(block);
        }
    }
    std::vector<AdStretch> proposed;
    for (AdStretch block : joined) {
        const double length = block.end - block.start;
        if (length < settings.minBlock || length > settings.maxBlock)
            continue;
        // A block that begins or ends among black pictures takes all of them in, so that its cut
        // leaves no black flash between the programme before it and after it.
        for (const TimeSpan& black : signals.black) {
            if (block.start >= black.start - kBlackSlack && block.start <= black.end + kBlackSlack)
                block.start = std::min(block.start, black.start);
            if (block.end >= black.start - kBlackSlack && block.end <= black.end + kBlackSlack)
                block.end = std::max(block.end, black.end);
        }
        proposed.push_back(block);
    }
    return proposed;
}

}  // namespace vmx
