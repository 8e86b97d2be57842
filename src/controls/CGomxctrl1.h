#pragma once

#include "controls/MpvHandle.h"

#include <QPointer>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <optional>

class CMpvVideoWidget;

// The embedded media player. It plays MPEG transport streams, MP3 files and pictures (a picture
// stays on screen), drawing video through libmpv's render API. Under a platform without OpenGL
// (offscreen, minimal) it runs headless: same behaviour, no picture.
class CGomxctrl1 : public QWidget {
    Q_OBJECT
public:
    enum PlayState { kStopped = 1, kPaused = 2, kPlaying = 4 };

    explicit CGomxctrl1(QWidget* parent = nullptr, int controlId = 0);
    ~CGomxctrl1() override;

    int ControlId() const { return m_controlId; }

    // Opens a media file and starts playing it.
    void SetFileName(const QString& path);
    // Jumps to a position in seconds inside the current file.
    void SetCurrentPosition(double seconds);
    // kPlaying (4) while a file is open and not paused.
    int GetPlayState() const;
    void Resume();
    // Stops and unloads the file, so the player keeps no file open.
    void Stop();
    void Pause();

    // Playback position in seconds inside the current file, when one is playing.
    std::optional<double> CurrentPosition() const;
    bool IsHeadless() const { return m_video == nullptr; }
    // False when libmpv could not be started; every member then does nothing.
    bool IsAvailable() const { return bool(m_mpv); }

signals:
    // The current file has finished playing.
    void EndOfFile(int reason);

private:
    void StartMpv(bool headless);
    void LoadNow(const QString& path);
    void DrainEvents();

    int m_controlId;
    MpvHandle m_mpv;
    CMpvVideoWidget* m_video = nullptr;
    std::atomic<bool> m_drainQueued{false};
    bool m_loaded = false;
    bool m_fileReady = false;
    bool m_paused = false;
    // mpv's playlist entry of the file last handed over (kNoEntry when none or stopped), and of
    // the file mpv started last: only their events count, a replaced or stopped file's do not.
    static constexpr std::int64_t kNoEntry = -1;
    std::int64_t m_entry = kNoEntry;
    std::int64_t m_startedEntry = kNoEntry;
    std::optional<QString> m_waitingForVideo;
    std::optional<double> m_pendingSeek;
};
