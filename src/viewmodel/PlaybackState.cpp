#include "viewmodel/PlaybackState.h"

#include "recording/PlaybackParts.h"

#include <algorithm>

namespace vmx {

namespace {

// The part files the player plays as the recording: all of them, or those before the first whose
// name is no plain part file name (the stream ends there).
std::vector<std::string> StreamParts(const RecordDetails& details)
{
    std::vector<std::string> paths;
    for (int part = 0; part < static_cast<int>(details.partNames.size()); ++part) {
        std::string path = PartPathOf(details, part);
        if (path.empty())
            break;
        paths.push_back(std::move(path));
    }
    return paths;
}

// The part that `position` seconds of the recording lie in, when the stream holds it.
std::optional<int> PartInStream(const RecordDetails& details, std::uint32_t position)
{
    const auto at = PartAtPosition(details.timing, static_cast<int>(details.partNames.size()), position);
    if (!at || PartPathOf(details, at->part).empty())
        return std::nullopt;
    for (int part = 0; part < at->part; ++part) {
        if (PartPathOf(details, part).empty())
            return std::nullopt;
    }
    return at->part;
}

}  // namespace

PlayerStep PlaybackState::playRecording(bool anyRowSelected, const RecordDetails* selected, bool playerRunning)
{
    PlayerStep step;
    if (!anyRowSelected)
        return step;
    if (m_paused) {
        m_paused = false;
        step.resume = true;
        step.timer = PlayerStep::Timer::Start;
        return step;
    }
    if (playerRunning || selected == nullptr)
        return step;
    m_partName.clear();
    m_recording = *selected;
    if (!selected->partNames.empty())
        m_partName = selected->partNames.front();
    step.sliderRange = static_cast<int>(selected->timing.duration);
    m_position = 0;
    m_currentPart = 0;
    m_seekPosition = 0;
    if (!CanPlay(*selected) || PartPathOf(*selected, 0).empty()) {
        m_recording.reset();
        step.message = kPartFileMissingMessage;
        return step;
    }
    step.timer = PlayerStep::Timer::Start;
    openRecording(step);
    step.modeSelectorEnabled = false;
    return step;
}

PlayerStep PlaybackState::playFile(const std::string& path)
{
    PlayerStep step;
    if (path.empty())
        return step;
    // A file of the media modes has no parts: its end must not touch a recording.
    m_recording.reset();
    m_playerHasFile = true;
    step.openFile = path;
    step.modeSelectorEnabled = false;
    return step;
}

PlayerStep PlaybackState::pause()
{
    PlayerStep step;
    if (!m_playerHasFile)
        return step;
    step.pause = true;
    step.timer = PlayerStep::Timer::Stop;
    m_paused = true;
    return step;
}

PlayerStep PlaybackState::stop()
{
    PlayerStep step;
    step.stop = true;
    m_position = 0;
    m_currentPart = 0;
    step.sliderPosition = 0;
    step.timer = PlayerStep::Timer::Stop;
    step.modeSelectorEnabled = true;
    return step;
}

PlayerStep PlaybackState::release()
{
    PlayerStep step = stop();
    m_recording.reset();
    m_paused = false;
    m_playerHasFile = false;
    return step;
}

PlayerStep PlaybackState::tick(std::optional<double> playerSeconds)
{
    PlayerStep step;
    step.enableSlider = true;
    if (m_recording && playerSeconds && *playerSeconds >= 0) {
        const auto seconds = static_cast<std::uint32_t>(*playerSeconds);
        if (!placeAt(seconds))
            m_position = seconds;
    } else {
        ++m_position;
    }
    step.sliderPosition = static_cast<int>(m_position);
    step.showTime = true;
    return step;
}

PlayerStep PlaybackState::seek(int position)
{
    PlayerStep step;
    if (!m_recording || position < 0 || !placeAt(static_cast<std::uint32_t>(position)))
        return step;
    m_seekPosition = m_position;
    step.seek = static_cast<double>(m_position);
    step.pause = m_paused;
    step.showTime = true;
    return step;
}

PlayerStep PlaybackState::reseek() const
{
    PlayerStep step;
    if (m_recording)
        step.seek = static_cast<double>(m_seekPosition);
    return step;
}

PlayerStep PlaybackState::endOfFile()
{
    PlayerStep step;
    if (!m_recording)
        return step;
    // The recording is over; the slider and the time label keep what they show.
    step.timer = PlayerStep::Timer::Stop;
    m_position = 0;
    m_currentPart = 0;
    return step;
}

PlayerStep PlaybackState::showPicture(const RecordDetails& details, double seconds)
{
    PlayerStep step;
    seconds = std::max(seconds, 0.0);
    const auto whole = static_cast<std::uint32_t>(seconds);
    if (!CanPlay(details) || !PartInStream(details, whole))
        return step;
    if (!m_recording || PartPathOf(*m_recording, 0) != PartPathOf(details, 0)) {
        m_recording = details;
        step.sliderRange = static_cast<int>(details.timing.duration);
    }
    openRecording(step);
    (void)placeAt(whole);
    step.openPaused = true;
    m_paused = true;
    m_seekPosition = m_position;
    step.seek = seconds;
    step.exactSeek = true;
    step.timer = PlayerStep::Timer::Stop;
    step.enableSlider = true;
    step.sliderPosition = static_cast<int>(m_position);
    step.modeSelectorEnabled = false;
    return step;
}

bool PlaybackState::isPlaying(const std::string& firstPartPath) const
{
    return m_recording && !firstPartPath.empty() && PartPathOf(*m_recording, 0) == firstPartPath;
}

void PlaybackState::openRecording(PlayerStep& step)
{
    step.openParts = StreamParts(*m_recording);
    m_playerHasFile = true;
}

bool PlaybackState::placeAt(std::uint32_t position)
{
    const std::optional<int> part = PartInStream(*m_recording, position);
    if (!part)
        return false;
    m_position = position;
    m_currentPart = *part;
    m_partName = m_recording->partNames[static_cast<std::size_t>(*part)];
    return true;
}

}  // namespace vmx
