#include "viewmodel/CutMarks.h"

#include "recording/PlaybackParts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vmx {
namespace {

constexpr double kDefaultFramesPerSecond = 25;

bool SameRecording(const RecordDetails& a, const RecordDetails& b)
{
    return a.folder == b.folder && a.row == b.row && a.partNames == b.partNames && a.duration == b.duration;
}

}  // namespace

std::string MarkLabelText(MarkRole role, double seconds)
{
    char text[48];
    std::snprintf(text, sizeof text, "%s %.1f s", role == MarkRole::Start ? "Start" : "End", std::max(seconds, 0.0));
    return text;
}

double PictureSeconds(std::optional<double> framesPerSecond)
{
    const double fps = framesPerSecond.value_or(0);
    // Anything outside what a broadcast sends is a guess of the demuxer's, not a rate.
    return 1.0 / (std::isfinite(fps) && fps >= 5 && fps <= 120 ? fps : kDefaultFramesPerSecond);
}

double StepMark(double value, double step, double duration)
{
    return std::clamp(value + step, 0.0, std::max(duration, 0.0));
}

void RecordingTimeline::select(const RecordDetails& details)
{
    if (m_details && SameRecording(*m_details, details))
        return;
    clear();
    m_details = details;
}

void RecordingTimeline::clear()
{
    m_details.reset();
    m_clock.reset();
    m_clockTried = false;
    m_clockOpen = false;
}

void RecordingTimeline::openClock()
{
    if (m_clockTried || !m_details)
        return;
    m_clockTried = true;
    std::vector<std::string> paths;
    for (int part = 0; part < int(m_details->partNames.size()); ++part) {
        std::string path = PartPathOf(*m_details, part);
        if (path.empty())
            return;
        paths.push_back(std::move(path));
    }
    if (paths.empty())
        return;
    m_clock.emplace();
    m_clockOpen = m_clock->open(paths).empty();
    if (!m_clockOpen)
        m_clock.reset();
}

std::optional<FramePlace> RecordingTimeline::placeOf(double seconds)
{
    if (!m_details)
        return std::nullopt;
    seconds = std::max(seconds, 0.0);
    openClock();
    const int partCount = int(m_details->partNames.size());
    if (m_clockOpen) {
        // The last part whose first picture comes at or before the time, by bisection over the
        // parts' first pictures (the clock reads each once), so that dragging a mark reads little.
        int lo = 0;
        int hi = partCount;
        while (hi - lo > 1) {
            const int mid = lo + (hi - lo) / 2;
            (m_clock->partStart(mid) <= seconds ? lo : hi) = mid;
        }
        return FramePlace{lo, std::max(seconds - m_clock->partStart(lo), 0.0)};
    }
    const double whole = std::floor(seconds);
    const auto at = PartAtPosition(m_details->timing, partCount, std::uint32_t(whole));
    if (!at)
        return std::nullopt;
    return FramePlace{at->part, double(at->offset) + (seconds - whole)};
}

double RecordingTimeline::timeOf(int part, double secondsInPart)
{
    if (!m_details)
        return secondsInPart;
    openClock();
    if (m_clockOpen)
        return m_clock->partStart(part) + secondsInPart;
    const std::uint32_t perPart = m_details->timing.measured() ? m_details->timing.secondsPerPart : 0;
    return double(part) * double(perPart) + secondsInPart;
}

}  // namespace vmx
