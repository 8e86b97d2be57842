#pragma once

#include "viewmodel/MainViewState.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class CDetailsArea;
class CGomxctrl1;
class CSkinSlider;

namespace vmx {
class UserInterface;
}

// The main view's player commands: PL, PA and S, the one-second timer that counts the playback
// position into the time label and the position slider, and seeking with the slider. The player
// plays a recording as one stream over its part files. Its decisions are the view state's
// (vmx::PlaybackState); this class hands them to the player and the controls.
class CViewPlayer : public QObject {
    Q_OBJECT
public:
    // `enableModeSelector` switches the mode selector on or off.
    CViewPlayer(vmx::MainViewState& state, CGomxctrl1* player, CSkinSlider* slider, CDetailsArea* details,
                vmx::UserInterface& ui, std::function<void(bool)> enableModeSelector, QObject* parent);

    // The player reports that it plays (state 4).
    bool IsRunning() const;
    bool PlayingOrPaused() const { return IsRunning() || m_state.playback.paused(); }
    bool TimerRunning() const { return m_timer.isActive(); }
    // True while the player holds the file at `path` (playing or paused).
    bool Shows(const std::string& path) const;

    // Space: PA while something plays (and while a file of the media modes is paused, as
    // before); PL otherwise, which goes on with a paused recording.
    bool SpacePauses() const;

    void Play();   // PL
    void Pause();  // PA
    void Stop();   // S
    // Stops the player so that it lets go of every file, and forgets the recording it played.
    void Release();
    // The position slider's messages: dragged to a position, released.
    void SliderTracking(int position);
    void SliderReleased();

    // Holds the player paused on the picture `seconds` into the recording `details`.
    void ShowPicture(const vmx::RecordDetails& details, double seconds);
    // Where the player is in the recording it holds, in seconds from its start; nothing while it
    // holds no recording.
    std::optional<double> RecordingTime() const;
    // The frame rate of the video the player holds, as it reports it.
    std::optional<double> FramesPerSecond() const;

private:
    void Apply(const vmx::PlayerStep& step);
    void Tick();
    void EndOfFile();

    vmx::MainViewState& m_state;
    CGomxctrl1* m_player;
    CSkinSlider* m_slider;
    CDetailsArea* m_details;
    vmx::UserInterface& m_ui;
    std::function<void(bool)> m_enableModeSelector;
    QTimer m_timer;
};
