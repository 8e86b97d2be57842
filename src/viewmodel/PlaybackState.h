#pragma once

#include "recording/RecordDetails.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vmx {

// What the view does to its player, its one-second timer and its controls after a player
// command, in this order: open the file or the recording, seek, pause, resume, stop.
struct PlayerStep {
    std::string openFile;                // hand this media file to the player
    std::vector<std::string> openParts;  // hand this recording (its part files) to the player
    bool openPaused = false;  // hold the player paused on openParts (no reload if it holds it)
    std::optional<double> seek;  // seconds into the file or the recording the player holds
    bool exactSeek = false;      // to that very picture, not the key frame before it
    bool pause = false;
    bool resume = false;
    bool stop = false;
    enum class Timer { Keep, Start, Stop } timer = Timer::Keep;
    std::optional<bool> modeSelectorEnabled;
    std::optional<int> sliderRange;     // the position slider's range becomes 0 .. this
    std::optional<int> sliderPosition;  // set without telling anyone
    bool enableSlider = false;
    bool showTime = false;  // the time label shows TimeLabelText(position())
    std::string message;    // shown to the user

    bool operator==(const PlayerStep&) const = default;
};

// The player state of the main view: the playback position that the timer counts, the part file
// that position lies in, the position of the last seek, the paused flag and the part-name buffer.
// Its commands return what the view must do.
//
// A recording plays as one stream over its part files, with one timeline: positions count from
// the recording's start. PL keeps a copy of the recording it starts, and the seeks that follow
// work on that copy, so that a click on another row or a refilled pane never sends the player
// into another recording's files.
class PlaybackState {
public:
    // PL in RECORD MODE. `anyRowSelected`: either pane has a selected row; `selected`: the
    // recording at the selected row of the active side, if there is one; `playerRunning`: the
    // player reports that it plays.
    PlayerStep playRecording(bool anyRowSelected, const RecordDetails* selected, bool playerRunning);
    // PL in MP3 MODE or JPEG MODE: the player shows `path` (nothing happens for an empty path).
    PlayerStep playFile(const std::string& path);
    // PA. It does nothing while nothing was handed to the player (or since it was released): the
    // paused flag would only make the next PL resume a player that has nothing to play.
    PlayerStep pause();
    PlayerStep stop();
    // Stop, and forget the recording and the paused flag: its files are about to go.
    PlayerStep release();
    // The one-second timer. `playerSeconds`: where the player says it is in the recording; the
    // position follows it (without it, the position counts on by one second).
    PlayerStep tick(std::optional<double> playerSeconds = std::nullopt);
    // The position slider was dragged to `position` seconds of the recording.
    PlayerStep seek(int position);
    // The position slider was released: back to the position of the last seek.
    PlayerStep reseek() const;
    // The player finished its file or the recording.
    PlayerStep endOfFile();
    // A mark of the recording `details` was placed: the player holds still on the picture
    // `seconds` into it. PL goes on from it.
    PlayerStep showPicture(const RecordDetails& details, double seconds);

    // The recording PL started, until another PL or release.
    const std::optional<RecordDetails>& recording() const { return m_recording; }
    // True when the recording being played is the one whose first part file is `firstPartPath`.
    bool isPlaying(const std::string& firstPartPath) const;

    std::uint32_t position() const { return m_position; }
    // The part the position lies in.
    int currentPart() const { return m_currentPart; }
    std::uint32_t seekPosition() const { return m_seekPosition; }
    bool paused() const { return m_paused; }
    const std::string& partName() const { return m_partName; }

private:
    // Hands the recording to the player as one stream.
    void openRecording(PlayerStep& step);
    // Moves the position to `position` and the current part and its name with it; false when
    // the position lies in no part the stream holds.
    bool placeAt(std::uint32_t position);

    std::optional<RecordDetails> m_recording;
    std::uint32_t m_position = 0;
    int m_currentPart = 0;
    std::uint32_t m_seekPosition = 0;
    bool m_paused = false;
    // A file was handed to the player and not released since: the player holds it, or keeps it
    // to play again from its start after S.
    bool m_playerHasFile = false;
    std::string m_partName;
};

}  // namespace vmx
