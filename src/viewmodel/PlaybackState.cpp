#include "viewmodel/PlaybackState.h"

#include "recording/PlaybackParts.h"

namespace vmx {

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
    m_playerPart = 0;
    if (!CanPlay(*selected) || PartPathOf(*selected, 0).empty()) {
        m_recording.reset();
        step.message = kPartFileMissingMessage;
        return step;
    }
    step.timer = PlayerStep::Timer::Start;
    (void)openPart(step, 0);
    step.modeSelectorEnabled = false;
    return step;
}

PlayerStep PlaybackState::playFile(const std::string& path)
{
    PlayerStep step;
    if (path.empty())
        return step;
    // A file of the media modes has no parts: its end must not advance a recording.
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

PlayerStep PlaybackState::tick()
{
    PlayerStep step;
    step.enableSlider = true;
    ++m_position;
    step.sliderPosition = static_cast<int>(m_position);
    step.showTime = true;
    return step;
}

PlayerStep PlaybackState::seek(int position)
{
    PlayerStep step;
    if (!m_recording || position < 0)
        return step;
    const auto at = PartAtPosition(m_recording->timing, static_cast<int>(m_recording->partNames.size()),
                                   static_cast<std::uint32_t>(position));
    if (!at)
        return step;
    if (at->part != m_playerPart && !openPart(step, at->part))
        return PlayerStep{};
    if (step.openFile.empty())
        m_partName.clear();
    m_position = static_cast<std::uint32_t>(position);
    m_currentPart = at->part;
    m_partOffset = at->offset;
    step.seek = static_cast<double>(m_partOffset);
    step.pause = m_paused;
    step.showTime = true;
    return step;
}

PlayerStep PlaybackState::reseek() const
{
    PlayerStep step;
    if (m_recording)
        step.seek = static_cast<double>(m_partOffset);
    return step;
}

PlayerStep PlaybackState::endOfFile()
{
    PlayerStep step;
    if (!m_recording)
        return step;
    ++m_currentPart;
    if (!openPart(step, m_currentPart)) {
        // The recording is over; the slider and the time label keep what they show.
        step.timer = PlayerStep::Timer::Stop;
        m_position = 0;
        m_currentPart = 0;
        return step;
    }
    step.openFromQueue = true;
    return step;
}

PlayerStep PlaybackState::showPicture(const RecordDetails& details, int part, double secondsInPart, double seconds)
{
    PlayerStep step;
    if (!CanPlay(details) || PartPathOf(details, part).empty())
        return step;
    if (!m_recording || PartPathOf(*m_recording, 0) != PartPathOf(details, 0)) {
        m_recording = details;
        step.sliderRange = static_cast<int>(details.timing.duration);
    }
    (void)openPart(step, part);
    step.openPaused = true;
    m_paused = true;
    m_position = static_cast<std::uint32_t>(seconds);
    m_currentPart = part;
    m_partOffset = static_cast<std::uint32_t>(secondsInPart);
    step.seek = secondsInPart;
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

bool PlaybackState::openPart(PlayerStep& step, int part)
{
    const std::string path = PartPathOf(*m_recording, part);
    if (path.empty())
        return false;
    m_partName = m_recording->partNames[static_cast<std::size_t>(part)];
    m_playerHasFile = true;
    step.openFile = path;
    step.queueNext = PartPathOf(*m_recording, part + 1);
    m_playerPart = part;
    return true;
}

}  // namespace vmx
